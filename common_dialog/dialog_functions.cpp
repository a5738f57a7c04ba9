#include "dialog_functions.h"

#include <string>

#include <cderr.h>

namespace {

// Stand-ins for a function the library does not give: the dialog fails, and
// its extended error says the library could not be set up.
template <class Record>
BOOL WINAPI NoDialog(Record*) {
  return FALSE;
}
short WINAPI NoFileTitle(LPCWSTR, LPWSTR, WORD) { return -1; }
DWORD WINAPI InitializationFailed() { return CDERR_INITIALIZATION; }

template <class Function>
Function Resolve(HMODULE library, const char* name, Function fallback) {
  const FARPROC found = library ? GetProcAddress(library, name) : nullptr;
  return found ? reinterpret_cast<Function>(reinterpret_cast<void*>(found)) : fallback;
}

// By full path, so no other directory is searched on any Windows version.
HMODULE LoadSystemLibrary(const wchar_t* file) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(directory, length) + L'\\' + file).c_str());
}

DialogFunctions Load() {
  // Loaded for the life of the process, as an import would be.
  const HMODULE library = LoadSystemLibrary(L"comdlg32.dll");
  return {Resolve(library, "GetOpenFileNameW", &NoDialog<OPENFILENAMEW>),
          Resolve(library, "GetSaveFileNameW", &NoDialog<OPENFILENAMEW>),
          Resolve(library, "GetFileTitleW", &NoFileTitle),
          Resolve(library, "ChooseColorW", &NoDialog<CHOOSECOLORW>),
          Resolve(library, "ChooseFontW", &NoDialog<CHOOSEFONTW>),
          Resolve(library, "PrintDlgW", &NoDialog<PRINTDLGW>),
          Resolve(library, "PageSetupDlgW", &NoDialog<PAGESETUPDLGW>),
          Resolve(library, "CommDlgExtendedError", &InitializationFailed)};
}

}  // namespace

const DialogFunctions& SystemDialogFunctions() {
  static const DialogFunctions functions = Load();
  return functions;
}
