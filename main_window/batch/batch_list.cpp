#include "batch_list.h"

#include <algorithm>

#include <commctrl.h>

#include "window_class.h"

namespace {

constexpr wchar_t kCaption[] = L"注册结果";
constexpr Column kColumns[] = {{L"文件", 150}, {L"结果", 110}, {L"原因", 200}};
constexpr wchar_t kUnrun[] = L"未运行";
constexpr wchar_t kUnrunReason[] = L"批处理已停止,没有运行这个文件。";
constexpr int kWidth = 400, kHeight = 190, kMargin = 7, kButtonWidth = 60, kButtonHeight = 14,
              kGap = 4;

// Below the owner, or above it where the screen ends, kept on its monitor.
void PlaceBeside(HWND window, HWND owner) {
  RECT mine, theirs;
  GetWindowRect(window, &mine);
  GetWindowRect(owner, &theirs);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  const int width = mine.right - mine.left, height = mine.bottom - mine.top;
  int left = (theirs.left + theirs.right - width) / 2;
  int top = theirs.bottom + 8;
  if (top + height > area.bottom) top = theirs.top - 8 - height;
  left = std::max<int>(area.left, std::min<int>(left, area.right - width));
  top = std::max<int>(area.top, std::min<int>(top, area.bottom - height));
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

BatchList::~BatchList() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void BatchList::Open(HWND owner, std::size_t count) {
  rows_.clear();
  count_ = count;
  ended_ = succeeded_ = 0;
  running_ = true;
  stopping_ = false;
  if (hwnd_) {
    ListView_DeleteAllItems(Item(kBatchList));
  } else {
    // Already there from an earlier batch: fine.
    toolkit::RegisterToolClass(GetModuleHandleW(nullptr), kBatchListClass, DefDlgProcW,
                               DLGWINDOWEXTRA);
    if (!OpenModeless(owner, kWidth, kHeight, kBatchListClass, kCaption)) return;
    PlaceBeside(hwnd_, owner);
  }
  EnableWindow(Item(kBatchStop), TRUE);
  EnableWindow(Item(kBatchSave), FALSE);
  ShowStatus();
  ShowWindow(hwnd_, SW_SHOWNA);
}

void BatchList::Add(const std::wstring& file, const std::wstring& outcome,
                    const std::wstring& reason, bool succeeded) {
  ++ended_;
  if (succeeded) ++succeeded_;
  // A row is one line in the list and in the saved text: a reason's lines
  // (the loader's, then the causes found) follow each other on it.
  std::wstring line = reason;
  for (std::size_t at = 0; (at = line.find(L"\r\n", at)) != std::wstring::npos;) {
    line.replace(at, 2, L" ");
  }
  Append({file, outcome, line});
}

void BatchList::AddUnrun(const std::wstring& file) { Append({file, kUnrun, kUnrunReason}); }

void BatchList::Stopping() {
  stopping_ = true;
  if (!hwnd_) return;
  EnableWindow(Item(kBatchStop), FALSE);
  ShowStatus();
}

void BatchList::Finished() {
  running_ = false;
  if (!hwnd_) return;
  // The focus must not stay on a button that can no longer be pressed.
  if (GetFocus() == Item(kBatchStop)) SetFocus(Item(kBatchList));
  EnableWindow(Item(kBatchStop), FALSE);
  EnableWindow(Item(kBatchSave), !rows_.empty());
  ShowStatus();
}

INT_PTR BatchList::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CreateControls();
      return FALSE;  // a list shown beside the window takes no focus from it
    case WM_SIZE: Layout(); return TRUE;
    case WM_GETMINMAXINFO: KeepAtLeastHalf(lParam, kWidth, kHeight); return TRUE;
    case WM_NOTIFY:
      if (IsCtrlKey(lParam, kBatchList, 'C')) {
        CopyRows();
      } else if (IsCtrlKey(lParam, kBatchList, 'A')) {
        Select(kBatchList, true);
      } else {
        return FALSE;
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kBatchStop:
          if (running_ && !stopping_) stop_();
          break;
        case kBatchSave: SaveRows(); break;
        case IDCANCEL: Close(); break;
      }
      return TRUE;
  }
  return FALSE;
}

void BatchList::CreateControls() {
  HWND list = MakeList(LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, kBatchList);
  Make(0, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kBatchStatus);
  MakeButton(L"停止(&T)", BS_PUSHBUTTON, kBatchStop);
  MakeButton(L"另存为(&S)...", BS_PUSHBUTTON, kBatchSave);
  MakeButton(L"关闭", BS_PUSHBUTTON, IDCANCEL);
  AddColumns(hwnd_, list, kColumns);
  Layout();
}

// The list takes all the room above a row of the status line and the buttons.
void BatchList::Layout() {
  RECT client;
  GetClientRect(hwnd_, &client);
  RECT units{kMargin, kButtonHeight, kButtonWidth, kGap};
  MapDialogRect(hwnd_, &units);
  const int margin = units.left, buttonHeight = units.top, buttonWidth = units.right,
            gap = units.bottom;
  const int buttonTop = client.bottom - margin - buttonHeight;
  MoveWindow(Item(kBatchList), margin, margin, client.right - 2 * margin, buttonTop - gap - margin,
             TRUE);
  int left = client.right - margin;
  for (int id :
       {static_cast<int>(IDCANCEL), static_cast<int>(kBatchSave), static_cast<int>(kBatchStop)}) {
    left -= buttonWidth;
    MoveWindow(Item(id), left, buttonTop, buttonWidth, buttonHeight, TRUE);
    left -= gap;
  }
  MoveWindow(Item(kBatchStatus), margin, buttonTop + gap / 2, std::max(0, left - margin),
             buttonHeight - gap / 2, TRUE);
  InvalidateRect(Item(kBatchStatus), nullptr, TRUE);
}

void BatchList::Append(Row row) {
  rows_.push_back(std::move(row));
  if (!hwnd_) return;
  HWND list = Item(kBatchList);
  ListView_EnsureVisible(list, AddRow(list, rows_.back()), FALSE);
  FitColumns(list);
  ShowStatus();
}

void BatchList::ShowStatus() {
  std::wstring text = std::to_wstring(ended_) + L"/" + std::to_wstring(count_);
  if (running_) {
    text = L"已完成 " + text + (stopping_ ? L",当前文件结束后停止" : L"");
  } else {
    text = (stopping_ ? L"已停止,完成 " : L"已完成 ") + text + L",成功 " +
           std::to_wstring(succeeded_) + L" 个";
  }
  SetWindowTextW(Item(kBatchStatus), text.c_str());
}

void BatchList::CopyRows() {
  std::vector<std::size_t> chosen = SelectedRows(Item(kBatchList));
  if (chosen.empty()) {
    for (std::size_t i = 0; i < rows_.size(); ++i) chosen.push_back(i);
  }
  std::wstring text;
  for (std::size_t i : chosen) text += TabSeparated(rows_[i]);
  Copy(text);
}

void BatchList::SaveRows() {
  SaveAsText(L"注册结果.txt", [this] {
    std::wstring text = TabSeparated(Row{kColumns[0].title, kColumns[1].title, kColumns[2].title});
    for (const Row& row : rows_) text += TabSeparated(row);
    return text;
  });
}

// A list closed during its batch takes the batch with it, after the current file.
void BatchList::Close() {
  if (running_ && !stopping_) stop_();
  DestroyWindow(hwnd_);
}
