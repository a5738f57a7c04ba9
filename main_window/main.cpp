// The tool's entry point: frmRegister is created, loaded and shown, and the
// process ends when it closes.
#include <windows.h>
#include <commctrl.h>

#include "frm_register.h"
#include "load_failure.h"
#include "child_side.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Never load a DLL from the current folder, which may be the server's own.
  SetDllDirectoryW(L"");
  if (auto code = Ostravel::RunServerChildIfAsked(inspection::InspectBeforeLoad)) return *code;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  FrmRegister form;
  if (!form.Show(instance, showCommand)) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between the controls, as in a dialog, in
    // the window and in the result list beside it.
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageW(root, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
