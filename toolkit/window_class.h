#pragma once
// Every window of the tool registers its class alike: the tool's icon, the
// arrow cursor and the dialog colour behind the controls.
#include <windows.h>

namespace toolkit {

// `windowExtra` is DLGWINDOWEXTRA for a class that DefDlgProcW serves. False if
// it could not be registered, as when it already is.
bool RegisterToolClass(HINSTANCE instance, const wchar_t* className, WNDPROC windowProc,
                       int windowExtra = 0);

}  // namespace toolkit
