#pragma once
// The Windows common-dialog functions as the object reaches them: a table that
// defaults to the real functions and that a test may fill with its own, to read
// the record that was passed and to play the user's answer or a failure.

#include <windows.h>
#include <commdlg.h>

struct DialogFunctions {
  decltype(&::GetOpenFileNameW) GetOpenFileName;
  decltype(&::GetSaveFileNameW) GetSaveFileName;
  decltype(&::GetFileTitleW) GetFileTitle;
  decltype(&::ChooseColorW) ChooseColor;
  decltype(&::ChooseFontW) ChooseFont;
  decltype(&::PrintDlgW) PrintDlg;
  decltype(&::PageSetupDlgW) PageSetupDlg;
  decltype(&::CommDlgExtendedError) CommDlgExtendedError;
};

// The system's own functions. The common-dialog library is loaded when they are
// first asked for, not when the program starts: a program pays for it only
// once it makes a dialog object. No entry is null: one the library does not
// give fails as a refused dialog whose extended error is CDERR_INITIALIZATION.
const DialogFunctions& SystemDialogFunctions();
