#include "list_dialog_driver.h"

#include "dialog_driver.h"

namespace list_dialog_driver {

using namespace std::chrono_literals;

void TypeCtrlC() {
  INPUT keys[4] = {};
  const WORD codes[4] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = codes[i];
    keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  SendInput(4, keys, sizeof(INPUT));
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void EmptyClipboardText() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

HWND WaitForOtherDialog(HWND besides) {
  HWND found = nullptr;
  dialog_driver::WaitUntil(
      [&] {
        found = dialog_driver::FindWindowOf(GetCurrentProcessId());
        return found && found != besides;
      },
      20s);
  return found != besides ? found : nullptr;
}

}  // namespace list_dialog_driver
