#pragma once
// What the dialogs that show a list of rows share: their in-memory template,
// the list's columns and rows, and the rows as tab-separated text on the
// clipboard or in a UTF-8 file.
#include <cstddef>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

struct Column {
  const wchar_t* title;
  int width;  // the least, in dialog units, so that it follows the font and the DPI
};

// A template with no controls (the dialog makes them on WM_INITDIALOG, sized
// from its font) in the shell's dialog font. `windowClass` names a class
// registered with DefDlgProcW and DLGWINDOWEXTRA, or is null for the standard one.
std::vector<WORD> DialogTemplate(DWORD style, int width, int height, const wchar_t* windowClass,
                                 const wchar_t* caption);

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

// The list-operations menu at the point a WM_CONTEXTMENU gives, or at the
// list's corner when it came from the keyboard.
void ShowListOpsMenu(HWND dialog, HWND list, LPARAM at);

// True for the LVN_KEYDOWN of Ctrl+C in the list `listId`.
bool IsCopyKey(LPARAM notify, int listId);

// The rows selected, as the list shows them, tab-separated.
std::wstring SelectedRowsText(HWND list);
// Every row, the same way, under a line of the column titles.
std::wstring AllRowsText(HWND list);

void CopyToClipboard(HWND owner, const std::wstring& text);

// Writes the text as UTF-8 after a byte-order mark; false if it could not.
bool WriteUtf8File(const std::wstring& path, const std::wstring& text);
