#pragma once
// Drives real dialogs from a second thread while the test thread sits in the
// modal call: find the dialog that belongs to this process, read and set its
// controls, press its buttons with posted messages. Reading and pressing also
// reach the dialogs of another process. Every wait is bounded.

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <windows.h>

namespace dialog_driver {

using namespace std::chrono_literals;

// Polls `condition` every 20 ms until it holds or `limit` passes.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// The first visible, enabled top-level window of `process` with this class;
// null if there is none now.
HWND FindWindowOf(DWORD process, const wchar_t* className = L"#32770");

// The same for this process, waiting at most `limit`; null if none came.
HWND WaitForWindow(std::chrono::milliseconds limit = 20s, const wchar_t* className = L"#32770");

// The message box's text sits in a static control with this identifier.
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring& text);
// WM_GETTEXT, which also reaches the controls of another process; empty if
// the window does not answer within five seconds.
std::wstring WindowText(HWND window);

// Types into the file-name field of a file dialog: an edit in the classic
// template, a combo box in the Explorer-style one (what Wine always shows).
void TypeFileName(HWND dialog, const std::wstring& name);

// Presses a push button the way a click does: WM_COMMAND with BN_CLICKED.
void PressButton(HWND dialog, int id);

// The text of a message box once it is in place (the box may be found before
// it is), its title if asked for; then closes it with OK and waits until it is
// gone.
std::wstring TakeMessageBox(HWND box, std::wstring* title = nullptr);

// Runs `actions` on a thread of its own with the dialog that shows up, and
// joins it on destruction. `Found()` tells whether a dialog showed up at all.
class Driver {
 public:
  explicit Driver(std::function<void(HWND dialog)> actions, std::chrono::milliseconds limit = 20s,
                  const wchar_t* className = L"#32770");
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;
  bool Found();

 private:
  std::thread thread_;
  bool found_ = false;
};

}  // namespace dialog_driver
