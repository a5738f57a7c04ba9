#include "preview_dialog.h"

#include <cstdint>
#include <vector>

#include <commctrl.h>

#include "capture_text.h"
#include "common_dialog.h"
#include "error_report.h"
#include "handle_values.h"
#include "list_ops_menu.h"
#include "message_box.h"
#include "notice_title.h"
#include "recognise.h"
#include "registration_report.h"
#include "report_list.h"

namespace {

using Ostravel::Preview;

constexpr wchar_t kNoticeText[] =
    L"预览运行了该服务器自己的注册代码 (DllRegisterServer)。它写入注册表的内容都截获在下面,"
    L"真实的注册表没有改变;但服务器的代码还可能做了写注册表以外的事情。";
constexpr wchar_t kNothingWritten[] = L"服务器没有写入任何注册表项。";
constexpr wchar_t kNothingRecognised[] = L"没有识别出 COM 注册 (类、ProgID、类型库、接口)。";
constexpr wchar_t kRegFilter[] = L"Registration Files (*.reg)|*.reg|All Files (*.*)|*.*";

constexpr ReportColumn kSummaryColumns[] = {{L"类别", 45}, {L"标识", 150}, {L"根键", 95}, {L"内容", 300}};
constexpr ReportColumn kCaptureColumns[Ostravel::kRowColumns] = {
    {L"根键", 95}, {L"键", 170}, {L"名称", 60}, {L"类型", 60}, {L"数据", 150}};

constexpr int kDialogWidth = 480, kDialogHeight = 300, kMargin = 7, kNoticeHeight = 18,
              kSummaryHeight = 60, kButtonWidth = 70, kButtonHeight = 14;

const wchar_t* KindName(Ostravel::Registered::Kind kind) {
  switch (kind) {
    case Ostravel::Registered::Kind::Class: return L"类";
    case Ostravel::Registered::Kind::ProgId: return L"ProgID";
    case Ostravel::Registered::Kind::TypeLib: return L"类型库";
    case Ostravel::Registered::Kind::Interface: return L"接口";
  }
  return L"";
}

// One row per registration: kind, identifier, where, then its facts; or a
// word on why there is none.
std::vector<std::vector<std::wstring>> Summary(const Ostravel::Capture& capture) {
  std::vector<std::vector<std::wstring>> rows;
  for (const Ostravel::Registered& registered : Ostravel::Recognise(capture)) {
    std::wstring facts;
    for (const auto& [label, data] : registered.facts) {
      facts += (facts.empty() ? L"" : L"; ") + (label.empty() ? data : label + L" = " + data);
    }
    rows.push_back(
        {KindName(registered.kind), registered.id, Ostravel::RootName(registered.root), facts});
  }
  if (rows.empty())
    rows.push_back({L"", L"", L"", capture.empty() ? kNothingWritten : kNothingRecognised});
  return rows;
}

std::wstring FileName(const std::wstring& path) {
  return path.substr(path.find_last_of(L"\\/") + 1);
}

// The name offered in the save dialog: the server's, with .reg for its extension.
std::wstring RegFileName(const std::wstring& path) {
  const std::wstring name = FileName(path);
  return name.substr(0, name.find_last_of(L'.')) + L".reg";
}

class PreviewDialog {
 public:
  PreviewDialog(const std::wstring& path, Ostravel::Capture capture)
      : path_(path), capture_(std::move(capture)) {}

  PreviewAnswer Run(HWND owner) {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const std::vector<WORD> words =
        ReportDialogTemplate(kPreviewCaption, kDialogWidth, kDialogHeight);
    const INT_PTR ended = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, Proc,
        reinterpret_cast<LPARAM>(this));
    return ended == static_cast<INT_PTR>(PreviewAnswer::Refresh) ? PreviewAnswer::Refresh
                                                                 : PreviewAnswer::Closed;
  }

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<PreviewDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
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
        Show();
        SetFocus(Item(kPreviewList));
        return FALSE;  // the focus is set
      case WM_SIZE: Layout(); return TRUE;
      case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        const RECT smallest = Units(kDialogWidth / 2, kDialogHeight / 2);
        limits->ptMinTrackSize = {smallest.right, smallest.bottom};
        return TRUE;
      }
      case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != Item(kPreviewList)) return FALSE;
        ShowListOpsMenu(hwnd_, Item(kPreviewList), lParam);
        return TRUE;
      case WM_NOTIFY:
        if (!IsCopyKey(lParam, kPreviewList)) return FALSE;
        if (const std::wstring text = SelectedRowsText(Item(kPreviewList)); !text.empty()) {
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
      // A preview takes seconds: the caller runs it without holding this
      // dialog frozen meanwhile.
      case kMnuRefresh: EndDialog(hwnd_, static_cast<INT_PTR>(PreviewAnswer::Refresh)); break;
      case kPreviewSaveReg: SaveAsReg(); break;
      case IDCANCEL: EndDialog(hwnd_, static_cast<INT_PTR>(PreviewAnswer::Closed)); break;
    }
  }

  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  RECT Units(int width, int height, int left = 0, int top = 0) const {
    RECT rect{left, top, left + width, top + height};
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
    make(0, WC_STATICW, kNoticeText, SS_LEFT | SS_NOPREFIX, kPreviewNotice);
    const DWORD listStyle = WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS;
    HWND summary =
        make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", listStyle | LVS_NOSORTHEADER, kPreviewSummary);
    HWND list = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", listStyle, kPreviewList);
    make(0, WC_BUTTONW, L"另存为 .reg(&S)...", WS_TABSTOP | BS_PUSHBUTTON, kPreviewSaveReg);
    make(0, WC_BUTTONW, L"关闭", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL);

    AddReportColumns(hwnd_, summary, kSummaryColumns);
    AddReportColumns(hwnd_, list, kCaptureColumns);
    SetWindowTextW(hwnd_, (std::wstring(kPreviewCaption) + L" - " + FileName(path_)).c_str());
    Layout();
  }

  // Notice and summary across the top, buttons along the bottom, the list
  // taking all the room between.
  void Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const RECT margin = Units(kMargin, kMargin), notice = Units(0, kNoticeHeight),
               summary = Units(0, kSummaryHeight), button = Units(kButtonWidth, kButtonHeight);
    const int width = client.right - 2 * margin.right;
    int top = margin.bottom;
    const auto place = [&](int id, int left, int y, int w, int h) {
      MoveWindow(Item(id), left, y, w, h, TRUE);
    };
    place(kPreviewNotice, margin.right, top, width, notice.bottom);
    // Its lines wrap anew at another width; moving repaints only what it gained.
    InvalidateRect(Item(kPreviewNotice), nullptr, TRUE);
    top += notice.bottom + margin.bottom / 2;
    place(kPreviewSummary, margin.right, top, width, summary.bottom);
    top += summary.bottom + margin.bottom / 2;
    const int buttonTop = client.bottom - margin.bottom - button.bottom;
    place(kPreviewList, margin.right, top, width, buttonTop - margin.bottom / 2 - top);
    place(kPreviewSaveReg, margin.right, buttonTop, button.right, button.bottom);
    place(IDCANCEL, client.right - margin.right - button.right, buttonTop, button.right,
          button.bottom);
  }

  void Show() {
    FillReportList(Item(kPreviewSummary), Summary(capture_));
    std::vector<std::vector<std::wstring>> rows;
    for (const Ostravel::Row& row : Ostravel::Rows(capture_)) rows.emplace_back(row.begin(), row.end());
    FillReportList(Item(kPreviewList), rows);
    EnableWindow(Item(kPreviewSaveReg), !rows.empty());
  }

  void Select(bool selected) {
    ListView_SetItemState(Item(kPreviewList), -1, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
  }

  void SaveAsReg() {
    cCommonDialog dialog;
    SaveFileNameArgs args{RegFileName(path_)};
    args.Filter = kRegFilter;
    args.DefaultExt = L"reg";
    args.Owner = toolkit::HandleValue(hwnd_);
    if (dialog.VBGetSaveFileName(args) &&
        !Ostravel::WriteRegFile(args.FileName, capture_)) {
      toolkit::MsgBox(hwnd_, L"无法写入文件 " + args.FileName, MB_ICONINFORMATION, kNoticeTitle);
    }
  }

  HWND hwnd_ = nullptr;
  std::wstring path_;
  Ostravel::Capture capture_;
};

}  // namespace

PreviewAnswer ShowPreview(HWND owner, const std::wstring& path, Preview preview) {
  if (!preview.outcome.Succeeded()) {
    // A preview runs the registration's entry point, and fails as it does.
    const auto mode = static_cast<std::int32_t>(Ostravel::RegistrationMode::Register);
    toolkit::MsgBox(owner, RegistrationReport(path, mode, preview.outcome), MB_ICONINFORMATION,
                    kNoticeTitle);
    return PreviewAnswer::Closed;
  }
  return PreviewDialog(path, std::move(preview.capture)).Run(owner);
}
