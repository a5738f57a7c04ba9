#pragma once
// The result list of a batch: a window of its own beside frmRegister with a
// row per file (the file, the outcome, and the reason in the words of the
// single-file messages), added as each file ends. Its Stop button ends the
// batch after the current file, as closing it does. Ctrl+C copies the
// selected rows (all of them when none is), and a button saves the list as
// tab-separated UTF-8 text through the save dialog.
#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "list_dialog.h"

inline constexpr wchar_t kBatchListClass[] = L"frmBatch";
enum BatchListControl : int {
  kBatchList = 100,
  kBatchStatus = 101,
  kBatchStop = 102,
  kBatchSave = 103,  // the close button is IDCANCEL
};

class BatchList : ListDialog {
 public:
  // `stop` runs when the user asks the running batch to stop.
  explicit BatchList(std::function<void()> stop) : stop_(std::move(stop)) {}
  ~BatchList();

  // Shows the list empty for a batch of `count` files, below `owner`; a list
  // still open from the last batch is emptied.
  void Open(HWND owner, std::size_t count);
  // The row of a file that has ended. Nothing when the user closed the list.
  void Add(const std::wstring& file, const std::wstring& outcome, const std::wstring& reason,
           bool succeeded);
  // The current file runs again, and will have a row of its own again.
  void Again() {
    ++count_;
    ShowStatus();
  }
  // The row of a file the batch stopped before.
  void AddUnrun(const std::wstring& file);
  // The batch will end after the current file.
  void Stopping();
  void Finished();

 private:
  using Row = std::array<std::wstring, 3>;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void CreateControls();
  void Layout();
  void Append(Row row);
  void ShowStatus();
  void CopyRows();
  void SaveRows();
  void Close();

  std::function<void()> stop_;
  std::vector<Row> rows_;
  std::size_t count_ = 0, ended_ = 0, succeeded_ = 0;
  bool running_ = false, stopping_ = false;
};
