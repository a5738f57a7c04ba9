#pragma once
// What the tool's report dialogs share: a dialog template made in memory, a
// report list with columns at least as wide as designed, filled and widened
// to its texts, the list-operations menu on it, and its selected rows copied
// as tab-separated text, as Ctrl+C does.
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include <windows.h>

struct ReportColumn {
  const wchar_t* title;
  int width;  // the least, in dialog units, so that it follows the font and the DPI
};

// A resizable dialog of `width` by `height` dialog units with the shell's
// font and no controls, which its procedure makes on WM_INITDIALOG.
std::vector<WORD> ReportDialogTemplate(const wchar_t* caption, int width, int height);

void AddReportColumns(HWND dialog, HWND list, std::span<const ReportColumn> columns);

// The rows, each column widened to its widest text, so that no identifier or
// path is cut short.
void FillReportList(HWND list, const std::vector<std::vector<std::wstring>>& rows);

// The list-operations menu at the point a WM_CONTEXTMENU gives, or at the
// list's corner when it came from the keyboard.
void ShowListOpsMenu(HWND dialog, HWND list, LPARAM at);

// True for the LVN_KEYDOWN of Ctrl+C in the list `listId`.
bool IsCopyKey(LPARAM notify, int listId);

// The rows selected, cells tab-separated, each line ending in CR LF.
std::wstring SelectedRowsText(HWND list);
// Every row, the same way, under a line of the column titles.
std::wstring AllRowsText(HWND list);

void CopyToClipboard(HWND owner, const std::wstring& text);

// Writes `text` as UTF-16 with its byte order mark, as Notepad reads it.
bool WriteTextFile(const std::wstring& path, const std::wstring& text);
