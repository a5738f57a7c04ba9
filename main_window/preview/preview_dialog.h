#pragma once
// What a preview found, shown to the user. A failed preview gets the message a
// failed registration gets; otherwise a resizable modal dialog says plainly
// that the server's code ran and what the capture holds beyond plain keys
// (links, unreadable keys, a cut, the view), sums up what it registers, and
// lists every key and value it wrote. The list's context menu is mnuListOps, whose Refresh
// closes the dialog for the caller to preview again; Ctrl+C copies the
// selected rows as tab-separated text, and a button saves the capture as a
// .reg file.
#include <string>

#include <windows.h>

#include "preview.h"

// The dialog's caption, which a file name follows, and its controls.
inline constexpr wchar_t kPreviewCaption[] = L"预览注册";
enum PreviewControl : int {
  kPreviewNotice = 100,
  kPreviewSummary = 101,
  kPreviewList = 102,
  kPreviewSaveReg = 103,  // the close button is IDCANCEL
  kPreviewNotes = 104,    // what the capture holds beside keys and values
};

enum class PreviewAnswer { Closed, Refresh };

// Returns when the user has closed the message or the dialog, or chosen Refresh.
PreviewAnswer ShowPreview(HWND owner, const std::wstring& path, Ostravel::TaskResult preview);
