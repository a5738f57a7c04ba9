#pragma once
// A modal message box with a single OK button. The flag word carries only the
// icon; the caller never learns which button closed the box, as there is one.
#include <string>

#include <windows.h>

namespace toolkit {

void MsgBox(HWND owner, const std::wstring& text, UINT icon, const std::wstring& title);

}  // namespace toolkit
