#pragma once
// The registration status in detail: a resizable dialog that repeats the
// window's line and lists each class and type library with its view, scope,
// registered file and verdict. Its list has the preview list's habits: the
// list-operations menu (Refresh closes the dialog for the caller to read the
// registry again), Ctrl+C copying the selected rows, and a button that saves
// every row as text.
#include <string>

#include <windows.h>

#include "registration_status.h"

inline constexpr wchar_t kStatusDetailsCaption[] = L"注册状态";
enum StatusDetailsControl : int {
  kStatusDetailsLine = 100,
  kStatusDetailsList = 101,
  kStatusDetailsSave = 102,  // the close button is IDCANCEL
};

enum class StatusDetailsAnswer { Closed, Refresh };

StatusDetailsAnswer ShowStatusDetails(HWND owner, const std::wstring& path,
                                      const inspection::RegistrationStatus& status);
