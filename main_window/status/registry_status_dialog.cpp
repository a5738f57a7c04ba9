#include "registry_status_dialog.h"

#include <commctrl.h>

#include "common_dialog.h"
#include "error_report.h"
#include "handle_values.h"
#include "list_ops_menu.h"
#include "message_box.h"
#include "notice_title.h"
#include "registry_status_text.h"
#include "list_dialog.h"

namespace {

// The verdict before the file, whose path may be long.
constexpr Column kColumns[] = {{L"类别", 35}, {L"标识", 150}, {L"名称", 60},       {L"视图", 30},
                               {L"范围", 40}, {L"判断", 50},  {L"注册的文件", 150}};
constexpr wchar_t kTextFilter[] = L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
constexpr int kDialogWidth = 480, kDialogHeight = 240, kMargin = 7, kLineHeight = 10,
              kButtonWidth = 70, kButtonHeight = 14;

std::wstring FileName(const std::wstring& path) {
  return path.substr(path.find_last_of(L"\\/") + 1);
}

class StatusDetails {
 public:
  StatusDetails(const std::wstring& path, const inspection::RegistrationStatus& status)
      : path_(path), status_(status) {}

  StatusDetailsAnswer Run(HWND owner) {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const std::vector<WORD> words =
        DialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX |
                           DS_MODALFRAME | DS_CENTER,
                       kDialogWidth, kDialogHeight, nullptr, kStatusDetailsCaption);
    const INT_PTR ended = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, Proc,
        reinterpret_cast<LPARAM>(this));
    return ended == static_cast<INT_PTR>(StatusDetailsAnswer::Refresh)
               ? StatusDetailsAnswer::Refresh
               : StatusDetailsAnswer::Closed;
  }

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<StatusDetails*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog) return FALSE;
    // Nothing may unwind into the system's dialog manager.
    try {
      if (message == WM_INITDIALOG) dialog->hwnd_ = hwnd;
      return dialog->Handle(message, wParam, lParam);
    } catch (...) {
      ReportCurrentException(hwnd);
    }
    return TRUE;
  }

  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        CreateControls();
        SetFocus(Item(kStatusDetailsList));
        return FALSE;  // the focus is set
      case WM_SIZE: Layout(); return TRUE;
      case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != Item(kStatusDetailsList)) return FALSE;
        ShowListOpsMenu(hwnd_, Item(kStatusDetailsList), lParam);
        return TRUE;
      case WM_NOTIFY:
        if (!IsCopyKey(lParam, kStatusDetailsList)) return FALSE;
        if (const std::wstring text = SelectedRowsText(Item(kStatusDetailsList)); !text.empty()) {
          CopyToClipboard(hwnd_, text);
        }
        return TRUE;
      case WM_COMMAND: OnCommand(LOWORD(wParam)); return TRUE;
    }
    return FALSE;
  }

  void OnCommand(int id) {
    switch (id) {
      case kMnuSelectAll: Select(true); break;
      case kMnuSelectNone: Select(false); break;
      case kMnuRefresh: EndDialog(hwnd_, static_cast<INT_PTR>(StatusDetailsAnswer::Refresh)); break;
      case kStatusDetailsSave: SaveAsText(); break;
      case IDCANCEL: EndDialog(hwnd_, static_cast<INT_PTR>(StatusDetailsAnswer::Closed)); break;
    }
  }

  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  RECT Units(int width, int height) const {
    RECT rect{0, 0, width, height};
    MapDialogRect(hwnd_, &rect);
    return rect;
  }

  void CreateControls() {
    const auto font = SendMessageW(hwnd_, WM_GETFONT, 0, 0);
    const auto make = [&](DWORD exStyle, const wchar_t* windowClass, const wchar_t* text,
                          DWORD style, int id) {
      HWND control = CreateWindowExW(
          exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
      SendMessageW(control, WM_SETFONT, font, FALSE);
      return control;
    };
    make(0, WC_STATICW, StatusLineText(status_).c_str(), SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
         kStatusDetailsLine);
    HWND list = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                     WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, kStatusDetailsList);
    make(0, WC_BUTTONW, L"另存为文本(&S)...", WS_TABSTOP | BS_PUSHBUTTON, kStatusDetailsSave);
    make(0, WC_BUTTONW, L"关闭", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL);
    AddColumns(hwnd_, list, kColumns);
    Fill(list, StatusRows(status_));
    SetWindowTextW(hwnd_, (std::wstring(kStatusDetailsCaption) + L" - " + FileName(path_)).c_str());
    Layout();
  }

  // The line across the top, buttons along the bottom, the list between.
  void Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const RECT margin = Units(kMargin, kMargin), line = Units(0, kLineHeight),
               button = Units(kButtonWidth, kButtonHeight);
    const int width = client.right - 2 * margin.right;
    const int listTop = margin.bottom + line.bottom + margin.bottom / 2;
    const int buttonTop = client.bottom - margin.bottom - button.bottom;
    MoveWindow(Item(kStatusDetailsLine), margin.right, margin.bottom, width, line.bottom, TRUE);
    MoveWindow(Item(kStatusDetailsList), margin.right, listTop, width,
               buttonTop - margin.bottom / 2 - listTop, TRUE);
    MoveWindow(Item(kStatusDetailsSave), margin.right, buttonTop, button.right, button.bottom,
               TRUE);
    MoveWindow(Item(IDCANCEL), client.right - margin.right - button.right, buttonTop, button.right,
               button.bottom, TRUE);
  }

  void Select(bool selected) {
    ListView_SetItemState(Item(kStatusDetailsList), -1, selected ? LVIS_SELECTED : 0,
                          LVIS_SELECTED);
  }

  void SaveAsText() {
    const std::wstring name = FileName(path_);
    cCommonDialog dialog;
    SaveFileNameArgs args{name.substr(0, name.find_last_of(L'.')) + L".txt"};
    args.Filter = kTextFilter;
    args.DefaultExt = L"txt";
    args.Owner = toolkit::HandleValue(hwnd_);
    if (!dialog.VBGetSaveFileName(args)) return;
    const std::wstring text = path_ + L"\r\n" + StatusLineText(status_) + L"\r\n\r\n" +
                              AllRowsText(Item(kStatusDetailsList));
    if (!WriteUtf8File(args.FileName, text)) {
      toolkit::MsgBox(hwnd_, L"无法写入文件 " + args.FileName, MB_ICONINFORMATION, kNoticeTitle);
    }
  }

  HWND hwnd_ = nullptr;
  std::wstring path_;
  const inspection::RegistrationStatus& status_;
};

}  // namespace

StatusDetailsAnswer ShowStatusDetails(HWND owner, const std::wstring& path,
                                      const inspection::RegistrationStatus& status) {
  return StatusDetails(path, status).Run(owner);
}
