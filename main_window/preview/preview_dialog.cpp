#include "preview_dialog.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <optional>
#include <vector>

#include <commctrl.h>

#include "capture_rows.h"
#include "file_name.h"
#include "list_dialog.h"
#include "list_ops_menu.h"
#include "message_box.h"
#include "notice_title.h"
#include "preview_notes.h"
#include "recognise.h"
#include "reg_file.h"
#include "registration_report.h"

namespace {

using Ostravel::TaskResult;

constexpr wchar_t kNoticeText[] =
    L"预览运行了该服务器自己的注册代码 (DllRegisterServer)。它写入注册表的内容都截获在下面,"
    L"真实的注册表没有改变;但服务器的代码还可能做了写注册表以外的事情。";
constexpr wchar_t kNothingWritten[] = L"服务器没有写入任何注册表项。";
constexpr wchar_t kNothingRecognised[] = L"没有识别出 COM 注册 (类、ProgID、类型库、接口)。";
constexpr wchar_t kRegFilter[] = L"Registration Files (*.reg)|*.reg|All Files (*.*)|*.*";

constexpr Column kSummaryColumns[] = {{L"类别", 45}, {L"标识", 150}, {L"根键", 95}, {L"内容", 300}};
constexpr Column kCaptureColumns[kRowColumns] = {
    {L"根键", 95}, {L"键", 170}, {L"名称", 60}, {L"类型", 60}, {L"数据", 150}};
using SummaryRow = std::array<std::wstring, std::size(kSummaryColumns)>;

constexpr int kDialogWidth = 480, kDialogHeight = 340, kMargin = 7, kNoticeHeight = 18,
              kNotesHeight = 48, kSummaryHeight = 60, kButtonWidth = 70, kButtonHeight = 14;

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
std::vector<SummaryRow> Summary(const Ostravel::Capture& capture) {
  std::vector<SummaryRow> rows;
  for (const Ostravel::Registered& registered : Ostravel::Recognise(capture)) {
    std::wstring facts;
    for (const auto& [label, data] : registered.facts) {
      const std::wstring text = DataText(data);
      facts += (facts.empty() ? L"" : L"; ") + (label.empty() ? text : label + L" = " + text);
    }
    rows.push_back(
        {KindName(registered.kind), registered.id, Ostravel::RootName(registered.root), facts});
  }
  if (rows.empty()) {
    rows.push_back({L"", L"", L"", capture.keys.empty() ? kNothingWritten : kNothingRecognised});
  }
  return rows;
}

// Each column at least as wide as it was made, and as its widest text.
void Widen(HWND list, const std::vector<int>& widths) {
  for (int column = 0; column < static_cast<int>(widths.size()); ++column) {
    if (ListView_GetColumnWidth(list, column) < widths[column]) {
      ListView_SetColumnWidth(list, column, widths[column]);
    }
  }
}

// Each column's widest text among the first rows and the `longest` (rows
// whose text is likely the longest in a column), measured in the list's font:
// measuring every row would cost as much as making every row.
template <typename Text>
std::vector<int> TextWidths(HWND list, std::size_t count, const std::vector<std::size_t>& longest,
                            int columns, Text text) {
  std::vector<std::size_t> rows = longest;
  for (std::size_t i = 0; i < count && i < 200; ++i) rows.push_back(i);
  std::vector<int> widths(columns, 0);
  constexpr int kPadding = 16;  // the list's own margins around a cell's text
  for (std::size_t row : rows) {
    for (int column = 0; column < columns && row < count; ++column) {
      const std::wstring cell = text(row, column);
      widths[column] =
          std::max(widths[column], ListView_GetStringWidth(list, cell.c_str()) + kPadding);
    }
  }
  return widths;
}

// Text for a row of a list made as it is shown.
void Describe(LVITEMW& item, std::size_t count, std::wstring& cell, auto text) {
  if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= count ||
      item.cchTextMax <= 0) {
    return;
  }
  cell = text(static_cast<std::size_t>(item.iItem), item.iSubItem);
  const std::size_t length = std::min(cell.size(), static_cast<std::size_t>(item.cchTextMax - 1));
  std::wmemcpy(item.pszText, cell.data(), length);
  item.pszText[length] = L'\0';
}

// The name offered in the save dialog: the server's, with .reg for its extension.
std::wstring RegFileName(const std::wstring& path) {
  const std::wstring name(toolkit::FileNameOf(path));
  return name.substr(0, name.find_last_of(L'.')) + L".reg";
}

class PreviewDialog : ListDialog {
 public:
  PreviewDialog(const std::wstring& path, Ostravel::TaskResult preview)
      : path_(path), notes_(PreviewNotes(preview)), capture_(std::move(preview.capture)) {}

  PreviewAnswer Run(HWND owner) {
    const INT_PTR ended = RunModal(owner, kDialogWidth, kDialogHeight, kPreviewCaption);
    return ended == static_cast<INT_PTR>(PreviewAnswer::Refresh) ? PreviewAnswer::Refresh
                                                                 : PreviewAnswer::Closed;
  }

 private:
  // A cell's text, by row and column, for each list.
  auto CaptureCell() const {
    return [this](std::size_t row, int column) { return CellText(capture_, rows_[row], column); };
  }
  auto SummaryCell() const {
    return [this](std::size_t row, int column) { return summary_[row][column]; };
  }

  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (ListOpsMessage(kPreviewList, message, wParam, lParam)) return TRUE;
    switch (message) {
      case WM_INITDIALOG:
        CreateControls();
        Show();
        SetFocus(Item(kPreviewList));
        return FALSE;  // the focus is set
      case WM_SIZE: Layout(); return TRUE;
      case WM_GETMINMAXINFO: KeepAtLeastHalf(lParam, kDialogWidth, kDialogHeight); return TRUE;
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_GETDISPINFOW) {
          LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
          if (header->idFrom == kPreviewList) Describe(item, rows_.size(), cell_, CaptureCell());
          if (header->idFrom == kPreviewSummary)
            Describe(item, summary_.size(), cell_, SummaryCell());
          return TRUE;
        }
        if (!IsCtrlKey(lParam, kPreviewList, 'C')) return FALSE;
        CopySelectedRows();
        return TRUE;
      }
      case WM_COMMAND: OnCommand(LOWORD(wParam)); return TRUE;
    }
    return FALSE;
  }

  void OnCommand(int id) {
    switch (id) {
      // A preview takes seconds: the caller runs it without holding this
      // dialog frozen meanwhile.
      case kMnuRefresh: EndDialog(hwnd_, static_cast<INT_PTR>(PreviewAnswer::Refresh)); break;
      case kPreviewSaveReg: SaveAsReg(); break;
      case IDCANCEL: EndDialog(hwnd_, static_cast<INT_PTR>(PreviewAnswer::Closed)); break;
    }
  }

  void CreateControls() {
    Make(0, WC_STATICW, kNoticeText, SS_LEFT | SS_NOPREFIX, kPreviewNotice);
    // A line a row: the list draws every script the notes may hold, where an
    // edit control under Wine falls back to no font for Chinese.
    HWND notes = MakeList(LVS_NOCOLUMNHEADER | LVS_SINGLESEL, kPreviewNotes);
    // Rows are made as they are shown: a capture of any size opens at once.
    HWND summary = MakeList(LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_OWNERDATA, kPreviewSummary);
    HWND list = MakeList(LVS_SHOWSELALWAYS | LVS_OWNERDATA, kPreviewList);
    MakeButton(L"另存为 .reg(&S)...", BS_PUSHBUTTON, kPreviewSaveReg);
    MakeButton(L"关闭", BS_DEFPUSHBUTTON, IDCANCEL);

    ShowNotes(notes);
    AddColumns(hwnd_, summary, kSummaryColumns);
    AddColumns(hwnd_, list, kCaptureColumns);
    SetWindowTextW(
        hwnd_, (std::wstring(kPreviewCaption) + L" - " + std::wstring(toolkit::FileNameOf(path_)))
                   .c_str());
    Layout();
  }

  // Notice and summary across the top, buttons along the bottom, the list
  // taking all the room between.
  void Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const RECT margin = Units(kMargin, kMargin), notice = Units(0, kNoticeHeight),
               notes = Units(0, kNotesHeight), summary = Units(0, kSummaryHeight),
               button = Units(kButtonWidth, kButtonHeight);
    const int width = client.right - 2 * margin.right;
    int top = margin.bottom;
    const auto place = [&](int id, int left, int y, int w, int h) {
      MoveWindow(Item(id), left, y, w, h, TRUE);
    };
    place(kPreviewNotice, margin.right, top, width, notice.bottom);
    // Its lines wrap anew at another width; moving repaints only what it gained.
    InvalidateRect(Item(kPreviewNotice), nullptr, TRUE);
    top += notice.bottom + margin.bottom / 2;
    place(kPreviewNotes, margin.right, top, width, notes.bottom);
    top += notes.bottom + margin.bottom / 2;
    place(kPreviewSummary, margin.right, top, width, summary.bottom);
    top += summary.bottom + margin.bottom / 2;
    const int buttonTop = client.bottom - margin.bottom - button.bottom;
    place(kPreviewList, margin.right, top, width, buttonTop - margin.bottom / 2 - top);
    place(kPreviewSaveReg, margin.right, buttonTop, button.right, button.bottom);
    place(IDCANCEL, client.right - margin.right - button.right, buttonTop, button.right,
          button.bottom);
  }

  void Show() {
    summary_ = Summary(capture_);
    HWND summary = Item(kPreviewSummary);
    ListView_SetItemCountEx(summary, static_cast<int>(summary_.size()), LVSICF_NOINVALIDATEALL);
    std::vector<std::size_t> longest(std::size(kSummaryColumns), 0);
    for (std::size_t i = 0; i < summary_.size(); ++i) {
      for (std::size_t column = 0; column < longest.size(); ++column) {
        if (summary_[i][column].size() > summary_[longest[column]][column].size())
          longest[column] = i;
      }
    }
    Widen(summary, TextWidths(summary, summary_.size(), longest,
                              static_cast<int>(std::size(kSummaryColumns)), SummaryCell()));

    rows_ = ListRows(capture_);
    HWND list = Item(kPreviewList);
    ListView_SetItemCountEx(list, static_cast<int>(rows_.size()), LVSICF_NOINVALIDATEALL);
    Widen(list, TextWidths(list, rows_.size(), LongestRows(), kRowColumns, CaptureCell()));
    EnableWindow(Item(kPreviewSaveReg), !rows_.empty());
  }

  void ShowNotes(HWND notes) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    ListView_InsertColumn(notes, 0, &column);
    std::size_t start = 0;
    for (int line = 0; start <= notes_.size(); ++line) {
      const std::size_t end = std::min(notes_.find(L"\r\n", start), notes_.size());
      std::wstring text = notes_.substr(start, end - start);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = line;
      item.pszText = text.data();
      ListView_InsertItem(notes, &item);
      start = end + 2;
    }
    ListView_SetColumnWidth(notes, 0, LVSCW_AUTOSIZE);
  }

  // The rows whose key, name or data is the longest, and the cut: the rows
  // that likely hold each column's widest text.
  std::vector<std::size_t> LongestRows() const {
    std::vector<std::size_t> longest(kRowColumns, 0);
    std::size_t length[kRowColumns] = {};
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      const ListRow row = rows_[i];
      if (row.key >= capture_.keys.size()) {
        longest.push_back(i);
        continue;
      }
      const Ostravel::CapturedKey& key = capture_.keys[row.key];
      const Ostravel::CapturedValue* value =
          row.value == kNoValue ? nullptr : &key.values[row.value];
      const std::size_t sizes[kRowColumns] = {0, key.path.size(), value ? value->name.size() : 0, 0,
                                              value ? value->data.size() : 0};
      for (int column = 0; column < kRowColumns; ++column) {
        if (sizes[column] > length[column]) {
          length[column] = sizes[column];
          longest[column] = i;
        }
      }
    }
    return longest;
  }

  void CopySelectedRows() {
    std::wstring text;
    for (std::size_t i : SelectedRows(Item(kPreviewList))) {
      std::array<std::wstring, kRowColumns> cells;
      for (int column = 0; column < kRowColumns; ++column) {
        cells[column] = CellText(capture_, rows_[i], column);
      }
      text += TabSeparated(cells);
    }
    Copy(text);
  }

  void SaveAsReg() {
    Save(RegFileName(path_), kRegFilter, L"reg",
         [this](const std::wstring& file) -> std::optional<std::wstring> {
           if (const DWORD error = Ostravel::WriteRegFile(file, capture_)) return ErrorText(error);
           return std::nullopt;
         });
  }

  std::wstring path_;
  std::wstring notes_;
  Ostravel::Capture capture_;
  std::vector<SummaryRow> summary_;
  std::vector<ListRow> rows_;
  std::wstring cell_;  // the text last handed to the list, alive until it asks again
};

}  // namespace

PreviewAnswer ShowPreview(HWND owner, const std::wstring& path, TaskResult preview) {
  if (!preview.outcome.Succeeded()) {
    // A preview runs the registration's entry point, and fails as it does.
    std::wstring message = RegistrationReport(path, Ostravel::ServerTask::Preview, preview);
    if (preview.cleanup != ERROR_SUCCESS) message += L"\r\n" + CleanupNote(preview.cleanup);
    toolkit::MsgBox(owner, message, MB_ICONINFORMATION, kNoticeTitle);
    return PreviewAnswer::Closed;
  }
  return PreviewDialog(path, std::move(preview)).Run(owner);
}
