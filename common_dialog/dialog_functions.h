#pragma once
// The Windows common-dialog functions as the object reaches them: a table that
// defaults to the real functions and that a test may fill with its own, to read
// the record that was passed and to play the user's answer or a failure.

#include <windows.h>
#include <commdlg.h>

struct DialogFunctions {
  decltype(&::GetOpenFileNameW) GetOpenFileName = ::GetOpenFileNameW;
  decltype(&::GetSaveFileNameW) GetSaveFileName = ::GetSaveFileNameW;
  decltype(&::GetFileTitleW) GetFileTitle = ::GetFileTitleW;
  decltype(&::ChooseColorW) ChooseColor = ::ChooseColorW;
  decltype(&::ChooseFontW) ChooseFont = ::ChooseFontW;
  decltype(&::PrintDlgW) PrintDlg = ::PrintDlgW;
  decltype(&::PageSetupDlgW) PageSetupDlg = ::PageSetupDlgW;
  decltype(&::CommDlgExtendedError) CommDlgExtendedError = ::CommDlgExtendedError;
};
