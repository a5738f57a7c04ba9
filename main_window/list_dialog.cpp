#include "list_dialog.h"

#include <cstring>
#include <memory>

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

}  // namespace

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

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
  const std::wstring marked = L"\xFEFF" + text;
  const int size = WideCharToMultiByte(CP_UTF8, 0, marked.data(), static_cast<int>(marked.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, marked.data(), static_cast<int>(marked.size()), bytes.data(), size,
                      nullptr, nullptr);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::unique_ptr<void, HandleCloser> closer(file);
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}
