#pragma once
// What the dialogs that show a list of rows share: the dialog itself (its
// procedure, its controls in its font, copying and saving), the list's
// columns and rows, and the rows as tab-separated text.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

struct Column {
  const wchar_t* title;
  int width;  // the least, in dialog units, so that it follows the font and the DPI
};

// A report list with full-row selection and grid lines, and these columns.
void AddColumns(HWND dialog, HWND list, const Column* columns, std::size_t count);
template <std::size_t N>
void AddColumns(HWND dialog, HWND list, const Column (&columns)[N]) {
  AddColumns(dialog, list, columns, N);
}

// Appends a row, its cells in column order; returns its index.
template <typename Row>
int AddRow(HWND list, const Row& row) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(list);
  item.pszText = const_cast<wchar_t*>(row[0].c_str());
  const int index = ListView_InsertItem(list, &item);
  for (std::size_t column = 1; column < row.size(); ++column) {
    ListView_SetItemText(list, index, static_cast<int>(column),
                         const_cast<wchar_t*>(row[column].c_str()));
  }
  return index;
}

// Widens each column to its widest text, never below its least width, so
// that no path or identifier is cut short.
void FitColumns(HWND list);

template <typename Rows>
void Fill(HWND list, const Rows& rows) {
  for (const auto& row : rows) AddRow(list, row);
  FitColumns(list);
}

// The indexes of the selected rows, in order.
std::vector<std::size_t> SelectedRows(HWND list);

// One line per row, cells separated by tabs, each line ended by CR LF.
template <typename Row>
std::wstring TabSeparated(const Row& row) {
  std::wstring line;
  for (std::size_t column = 0; column < row.size(); ++column) {
    line += row[column] + (column + 1 < row.size() ? L"\t" : L"\r\n");
  }
  return line;
}

// The rows selected, as the list shows them, tab-separated.
std::wstring SelectedRowsText(HWND list);
// Every row, the same way, under a line of the column titles.
std::wstring AllRowsText(HWND list);

// A resizable dialog of lists and buttons, made from a template with no
// controls: it makes them on WM_INITDIALOG, sized from the shell's dialog
// font. The object lives in the dialog's user data from WM_INITDIALOG on, and
// whatever a handler throws is shown to the user at the dialog procedure,
// which nothing leaves.
class ListDialog {
 public:
  ListDialog(const ListDialog&) = delete;
  ListDialog& operator=(const ListDialog&) = delete;

 protected:
  ListDialog() = default;
  ~ListDialog() = default;

  // Modal to `owner` and centred, `width` by `height` dialog units; what
  // EndDialog ended it with.
  INT_PTR RunModal(HWND owner, int width, int height, const wchar_t* caption);
  // Beside `owner`, in a window of `windowClass` (registered with DefDlgProcW
  // and DLGWINDOWEXTRA) that can also be minimised; false if it was not made.
  bool OpenModeless(HWND owner, int width, int height, const wchar_t* windowClass,
                    const wchar_t* caption);

  // From WM_INITDIALOG until the dialog goes; the dialog procedure's answer.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  // Dialog units in pixels, at the dialog's font.
  RECT Units(int width, int height) const;
  // A control in the dialog's font; the layout places it.
  HWND Make(DWORD exStyle, const wchar_t* windowClass, const wchar_t* text, DWORD style,
            int id) const;
  // A report list with a border, and a push button, both tab stops.
  HWND MakeList(DWORD style, int id) const;
  HWND MakeButton(const wchar_t* text, DWORD style, int id) const;
  // No smaller than half its made size, `width` by `height` dialog units, at
  // the WM_GETMINMAXINFO that `limits` comes with.
  void KeepAtLeastHalf(LPARAM limits, int width, int height) const;

  // mnuListOps over the list `listId`: shown on the list's context menu, its
  // Select All and Select None done; false for any other message.
  bool ListOpsMessage(int listId, UINT message, WPARAM wParam, LPARAM lParam) const;
  void Select(int listId, bool selected) const;
  // True for the LVN_KEYDOWN of Ctrl and `key` in the list `listId`.
  static bool IsCtrlKey(LPARAM notify, int listId, WORD key);
  // On the clipboard, unless there is nothing to copy.
  void Copy(const std::wstring& text) const;
  // Asks where to save, offering `name`, and has `write` write there; it
  // gives nothing once written, or why it could not (possibly empty), which
  // the user is told.
  using Writer = std::function<std::optional<std::wstring>(const std::wstring& path)>;
  void Save(const std::wstring& name, const wchar_t* filter, const wchar_t* extension,
            const Writer& write) const;
  // The same for a .txt file of the text `text` gives, as UTF-8.
  void SaveAsText(const std::wstring& name, const std::function<std::wstring()>& text) const;

  HWND hwnd_ = nullptr;

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
