// The tool's entry point: frmRegister is created, loaded and shown, and the
// process ends when it closes.
#include <windows.h>
#include <commctrl.h>

#include "frm_register.h"
#include "server_child.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Never load a DLL from the current folder, which may be the server's own.
  SetDllDirectoryW(L"");
  if (auto code = Ostravel::RunServerChildIfAsked()) return *code;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  FrmRegister form;
  if (!form.Show(instance, showCommand)) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between the controls, as in a dialog.
    if (IsDialogMessageW(form.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
