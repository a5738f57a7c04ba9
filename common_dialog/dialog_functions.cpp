#include "dialog_functions.h"

namespace {

template <class Function>
Function Resolve(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

DialogFunctions Load() {
  // Loaded for the life of the process, as an import would be.
  const HMODULE library = LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  DialogFunctions functions{};
  if (!library) return functions;
  functions.GetOpenFileName = Resolve<decltype(functions.GetOpenFileName)>(library, "GetOpenFileNameW");
  functions.GetSaveFileName = Resolve<decltype(functions.GetSaveFileName)>(library, "GetSaveFileNameW");
  functions.GetFileTitle = Resolve<decltype(functions.GetFileTitle)>(library, "GetFileTitleW");
  functions.ChooseColor = Resolve<decltype(functions.ChooseColor)>(library, "ChooseColorW");
  functions.ChooseFont = Resolve<decltype(functions.ChooseFont)>(library, "ChooseFontW");
  functions.PrintDlg = Resolve<decltype(functions.PrintDlg)>(library, "PrintDlgW");
  functions.PageSetupDlg = Resolve<decltype(functions.PageSetupDlg)>(library, "PageSetupDlgW");
  functions.CommDlgExtendedError =
      Resolve<decltype(functions.CommDlgExtendedError)>(library, "CommDlgExtendedError");
  return functions;
}

}  // namespace

const DialogFunctions& SystemDialogFunctions() {
  static const DialogFunctions functions = Load();
  return functions;
}
