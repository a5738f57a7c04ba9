#include "list_dialog.h"

#include <cstring>

#include <windowsx.h>

#include "common_dialog.h"
#include "error_report.h"
#include "handle_values.h"
#include "list_ops_menu.h"
#include "message_box.h"
#include "notice_title.h"
#include "owned_handle.h"

namespace {

constexpr DWORD kResizable = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;
constexpr wchar_t kTextFilter[] = L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*";

// Read in a buffer that grows until the whole text fits.
std::wstring CellText(HWND list, int row, int column) {
  for (int size = 256;; size *= 2) {
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = size;
    const auto length = static_cast<int>(SendMessageW(
        list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (length < size - 1 || size >= 1 << 20) {
      text.resize(static_cast<std::size_t>(length));
      return text;
    }
  }
}

int ColumnCount(HWND list) { return Header_GetItemCount(ListView_GetHeader(list)); }

std::wstring RowText(HWND list, int row) {
  std::wstring text;
  const int columns = ColumnCount(list);
  for (int column = 0; column < columns; ++column) {
    text += CellText(list, row, column) + (column + 1 < columns ? L"\t" : L"\r\n");
  }
  return text;
}

// No controls, the shell's dialog font. `windowClass` is null for the
// standard dialog class.
std::vector<WORD> DialogTemplate(DWORD style, int width, int height, const wchar_t* windowClass,
                                 const wchar_t* caption) {
  DLGTEMPLATE header{};
  header.style = style | DS_SETFONT;
  header.cx = static_cast<short>(width);
  header.cy = static_cast<short>(height);
  std::vector<WORD> words(sizeof header / sizeof(WORD));
  std::memcpy(words.data(), &header, sizeof header);
  const auto append = [&](const wchar_t* text) {
    for (; *text; ++text) words.push_back(static_cast<WORD>(*text));
    words.push_back(0);
  };
  words.push_back(0);  // no menu
  if (windowClass) {
    append(windowClass);
  } else {
    words.push_back(0);
  }
  append(caption);
  words.push_back(9);  // points
  append(L"MS Shell Dlg");
  return words;
}

// mnuListOps, for the dialog's WM_CONTEXTMENU from the list.
void ShowListOpsMenu(HWND dialog, HWND list, LPARAM at) {
  POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (point.x == -1 && point.y == -1) {  // from the keyboard: at the list's corner
    point = {0, 0};
    ClientToScreen(list, &point);
  }
  const toolkit::OwnedMenu menu(BuildListOpsMenu());
  TrackPopupMenu(GetSubMenu(menu.get(), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0,
                 dialog, nullptr);
}

void CopyToClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  void* target = memory ? GlobalLock(memory) : nullptr;
  if (target) {
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
  }
  // Once set, the clipboard owns the memory.
  if (memory && (!target || !SetClipboardData(CF_UNICODETEXT, memory))) GlobalFree(memory);
  CloseClipboard();
}

// After a byte-order mark; false if it could not.
bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
  const std::wstring marked = L"\xFEFF" + text;
  const int size = WideCharToMultiByte(CP_UTF8, 0, marked.data(), static_cast<int>(marked.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, marked.data(), static_cast<int>(marked.size()), bytes.data(),
                      size, nullptr, nullptr);
  const toolkit::OwnedHandle file = toolkit::OwnFile(CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

void AddColumns(HWND dialog, HWND list, const Column* columns, std::size_t count) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (std::size_t i = 0; i < count; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    RECT width{0, 0, columns[i].width, 0};
    MapDialogRect(dialog, &width);
    column.cx = width.right;
    ListView_InsertColumn(list, static_cast<int>(i), &column);
  }
}

void FitColumns(HWND list) {
  for (int column = 0; column < Header_GetItemCount(ListView_GetHeader(list)); ++column) {
    const int least = ListView_GetColumnWidth(list, column);
    ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE);
    if (ListView_GetColumnWidth(list, column) < least) ListView_SetColumnWidth(list, column, least);
  }
}

std::vector<std::size_t> SelectedRows(HWND list) {
  std::vector<std::size_t> rows;
  for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
    rows.push_back(static_cast<std::size_t>(i));
  }
  return rows;
}

std::wstring SelectedRowsText(HWND list) {
  std::wstring text;
  for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
    text += RowText(list, i);
  }
  return text;
}

std::wstring AllRowsText(HWND list) {
  std::wstring text;
  HWND header = ListView_GetHeader(list);
  const int columns = ColumnCount(list);
  for (int column = 0; column < columns; ++column) {
    wchar_t title[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = 256;
    Header_GetItem(header, column, &item);
    text += std::wstring(title) + (column + 1 < columns ? L"\t" : L"\r\n");
  }
  for (int row = 0; row < ListView_GetItemCount(list); ++row) text += RowText(list, row);
  return text;
}

INT_PTR CALLBACK ListDialog::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<ListDialog*>(lParam)->hwnd_ = hwnd;
  }
  auto* dialog = reinterpret_cast<ListDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!dialog) return FALSE;
  if (message == WM_NCDESTROY) {
    dialog->hwnd_ = nullptr;
    return FALSE;
  }
  // Nothing may unwind into the system's dialog manager.
  try {
    return dialog->OnMessage(message, wParam, lParam);
  } catch (...) {
    ReportCurrentException(hwnd);
  }
  return TRUE;
}

INT_PTR ListDialog::RunModal(HWND owner, int width, int height, const wchar_t* caption) {
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const std::vector<WORD> words =
      DialogTemplate(kResizable | DS_MODALFRAME | DS_CENTER, width, height, nullptr, caption);
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                 reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, Proc,
                                 reinterpret_cast<LPARAM>(this));
}

bool ListDialog::OpenModeless(HWND owner, int width, int height, const wchar_t* windowClass,
                              const wchar_t* caption) {
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const std::vector<WORD> words =
      DialogTemplate(kResizable | WS_MINIMIZEBOX, width, height, windowClass, caption);
  CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                             reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, Proc,
                             reinterpret_cast<LPARAM>(this));
  return hwnd_ != nullptr;
}

RECT ListDialog::Units(int width, int height) const {
  RECT rect{0, 0, width, height};
  MapDialogRect(hwnd_, &rect);
  return rect;
}

HWND ListDialog::Make(DWORD exStyle, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                      int id) const {
  HWND control = CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, SendMessageW(hwnd_, WM_GETFONT, 0, 0), FALSE);
  return control;
}

HWND ListDialog::MakeList(DWORD style, int id) const {
  return Make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_TABSTOP | LVS_REPORT | style, id);
}

HWND ListDialog::MakeButton(const wchar_t* text, DWORD style, int id) const {
  return Make(0, WC_BUTTONW, text, WS_TABSTOP | style, id);
}

void ListDialog::KeepAtLeastHalf(LPARAM limits, int width, int height) const {
  const RECT smallest = Units(width / 2, height / 2);
  reinterpret_cast<MINMAXINFO*>(limits)->ptMinTrackSize = {smallest.right, smallest.bottom};
}

bool ListDialog::ListOpsMessage(int listId, UINT message, WPARAM wParam, LPARAM lParam) const {
  if (message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == Item(listId)) {
    ShowListOpsMenu(hwnd_, Item(listId), lParam);
    return true;
  }
  if (message != WM_COMMAND) return false;
  switch (LOWORD(wParam)) {
    case kMnuSelectAll: Select(listId, true); return true;
    case kMnuSelectNone: Select(listId, false); return true;
  }
  return false;
}

void ListDialog::Select(int listId, bool selected) const {
  ListView_SetItemState(Item(listId), -1, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

bool ListDialog::IsCtrlKey(LPARAM notify, int listId, WORD key) {
  const auto* down = reinterpret_cast<const NMLVKEYDOWN*>(notify);
  return down->hdr.idFrom == static_cast<UINT_PTR>(listId) && down->hdr.code == LVN_KEYDOWN &&
         down->wVKey == key && GetKeyState(VK_CONTROL) < 0;
}

void ListDialog::Copy(const std::wstring& text) const {
  if (!text.empty()) CopyToClipboard(hwnd_, text);
}

void ListDialog::Save(const std::wstring& name, const wchar_t* filter, const wchar_t* extension,
                      const Writer& write) const {
  cCommonDialog dialog;
  SaveFileNameArgs args{name};
  args.Filter = filter;
  args.DefaultExt = extension;
  args.Owner = toolkit::HandleValue(hwnd_);
  if (!dialog.VBGetSaveFileName(args)) return;
  if (const std::optional<std::wstring> why = write(args.FileName)) {
    toolkit::MsgBox(hwnd_, L"无法写入文件 " + args.FileName + (why->empty() ? L"" : L"\r\n" + *why),
                    MB_ICONINFORMATION, kNoticeTitle);
  }
}

void ListDialog::SaveAsText(const std::wstring& name,
                            const std::function<std::wstring()>& text) const {
  Save(name, kTextFilter, L"txt", [&](const std::wstring& path) -> std::optional<std::wstring> {
    if (WriteUtf8File(path, text())) return std::nullopt;
    return std::wstring();
  });
}
