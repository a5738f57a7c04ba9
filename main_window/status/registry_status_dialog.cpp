#include "registry_status_dialog.h"

#include <commctrl.h>

#include "file_name.h"
#include "list_dialog.h"
#include "list_ops_menu.h"
#include "registry_status_text.h"

namespace {

// The verdict before the file, whose path may be long.
constexpr Column kColumns[] = {{L"类别", 35}, {L"标识", 150}, {L"名称", 60},       {L"视图", 30},
                               {L"范围", 40}, {L"判断", 50},  {L"注册的文件", 150}};
constexpr int kDialogWidth = 480, kDialogHeight = 240, kMargin = 7, kLineHeight = 10,
              kButtonWidth = 70, kButtonHeight = 14;

class StatusDetails : ListDialog {
 public:
  StatusDetails(const std::wstring& path, const inspection::RegistrationStatus& status)
      : path_(path), status_(status) {}

  StatusDetailsAnswer Run(HWND owner) {
    const INT_PTR ended = RunModal(owner, kDialogWidth, kDialogHeight, kStatusDetailsCaption);
    return ended == static_cast<INT_PTR>(StatusDetailsAnswer::Refresh)
               ? StatusDetailsAnswer::Refresh
               : StatusDetailsAnswer::Closed;
  }

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (ListOpsMessage(kStatusDetailsList, message, wParam, lParam)) return TRUE;
    switch (message) {
      case WM_INITDIALOG:
        CreateControls();
        SetFocus(Item(kStatusDetailsList));
        return FALSE;  // the focus is set
      case WM_SIZE: Layout(); return TRUE;
      case WM_NOTIFY:
        if (!IsCtrlKey(lParam, kStatusDetailsList, 'C')) return FALSE;
        Copy(SelectedRowsText(Item(kStatusDetailsList)));
        return TRUE;
      case WM_COMMAND: OnCommand(LOWORD(wParam)); return TRUE;
    }
    return FALSE;
  }

  void OnCommand(int id) {
    switch (id) {
      case kMnuRefresh: EndDialog(hwnd_, static_cast<INT_PTR>(StatusDetailsAnswer::Refresh)); break;
      case kStatusDetailsSave: SaveRows(); break;
      case IDCANCEL: EndDialog(hwnd_, static_cast<INT_PTR>(StatusDetailsAnswer::Closed)); break;
    }
  }

  void CreateControls() {
    Make(0, WC_STATICW, StatusLineText(status_).c_str(), SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
         kStatusDetailsLine);
    HWND list = MakeList(LVS_SHOWSELALWAYS, kStatusDetailsList);
    MakeButton(L"另存为文本(&S)...", BS_PUSHBUTTON, kStatusDetailsSave);
    MakeButton(L"关闭", BS_DEFPUSHBUTTON, IDCANCEL);
    AddColumns(hwnd_, list, kColumns);
    Fill(list, StatusRows(status_));
    const std::wstring name(toolkit::FileNameOf(path_));
    SetWindowTextW(hwnd_, (std::wstring(kStatusDetailsCaption) + L" - " + name).c_str());
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

  void SaveRows() {
    const std::wstring name(toolkit::FileNameOf(path_));
    SaveAsText(name.substr(0, name.find_last_of(L'.')) + L".txt", [this] {
      return path_ + L"\r\n" + StatusLineText(status_) + L"\r\n\r\n" +
             AllRowsText(Item(kStatusDetailsList));
    });
  }

  std::wstring path_;
  const inspection::RegistrationStatus& status_;
};

}  // namespace

StatusDetailsAnswer ShowStatusDetails(HWND owner, const std::wstring& path,
                                      const inspection::RegistrationStatus& status) {
  return StatusDetails(path, status).Run(owner);
}
