// frmRegister's window and nothing else: the same frame, icon, fonts and
// controls, built by the same functions, with none of the tool's handlers,
// clock, menu or libraries. The start-up benchmark measures the tool against
// it, so that the ratio shows what the tool itself adds.
#include <windows.h>
#include <commctrl.h>

#include "form_window.h"
#include "quit_on_close.h"
#include "window_class.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  constexpr wchar_t kClassName[] = L"SameWindow";
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  toolkit::RegisterToolClass(instance, kClassName, QuitOnDestroy);
  const FormFonts fonts;
  HWND window = CreateFormFrame(instance, kClassName, nullptr);
  for (const ControlDesign& design : kControls) CreateControl(window, design, fonts);
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return RunMessageLoop();
}
