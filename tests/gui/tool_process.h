#pragma once
// Runs the built tool as a process of its own and drives it from the test
// process: its main window, its controls, and the dialogs and message boxes it
// shows. Every wait is bounded; a tool still running at the end is ended.
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include <windows.h>

namespace tool_process {

using namespace std::chrono_literals;

// The tool as the build leaves it, beside the tests' folder.
std::wstring ToolPath();

// With the test's own token, or with its limited half as a standard user's
// programs run (Wine runs every program as an elevated administrator).
enum class Rights { AsTheTest, Limited };

class Tool {
 public:
  // Starts `exe` with each of `arguments` quoted on its command line, and
  // waits until its window of class `windowClass` is shown.
  Tool(const std::wstring& exe, const wchar_t* windowClass,
       const std::vector<std::wstring>& arguments = {}, Rights rights = Rights::AsTheTest);
  ~Tool();
  Tool(const Tool&) = delete;
  Tool& operator=(const Tool&) = delete;

  HWND Window() const { return window_; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  DWORD ProcessId() const { return info_.dwProcessId; }

  // Clicks a control of the main window as a user's mouse does, through the
  // system's input queue, without waiting for its handler: a disabled button
  // stays unpressed.
  void Press(int id) { Click(Control(id)); }
  // The same for any control of the tool's, in whichever of its windows.
  void Click(HWND control) { Mouse(control, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }
  // The same with the right button, which opens a control's context menu.
  void PressRight(int id) { Mouse(Control(id), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }
  // Clicks the window's own icon at the left of its caption, which opens its
  // system menu.
  void ClickSystemIcon();
  // Presses `keys` in turn and releases them in reverse, through the system's
  // input queue, into the tool's open menu or its focus: Alt then Space opens
  // the system menu.
  void Type(std::initializer_list<WORD> keys);
  // A menu of the tool that is open, or null once `limit` passes.
  HWND WaitForMenu(std::chrono::milliseconds limit = 10s) const;
  // A visible, enabled dialog (#32770) of the tool, or null once `limit` passes.
  HWND WaitForDialog(std::chrono::milliseconds limit = 20s) const;
  // Until no dialog of the tool is left.
  bool WaitForNoDialog(std::chrono::milliseconds limit = 10s) const;
  // The text of a message box, then closes it with OK; empty if none came.
  std::wstring TakeMessage(std::wstring* title = nullptr,
                           std::chrono::milliseconds limit = 20s) const;
  // Every row of a list view of the tool, each cell's text in column order.
  std::vector<std::vector<std::wstring>> ListRows(HWND list) const;
  // The process runs and its window answers messages.
  bool Responsive() const;
  // Until the process has ended.
  bool WaitForExit(std::chrono::milliseconds limit) const;

 private:
  void Mouse(HWND control, DWORD down, DWORD up);
  void MouseAt(HWND window, POINT at, DWORD down, DWORD up);

  PROCESS_INFORMATION info_{};
  HWND window_ = nullptr;
};

// Chooses `path` in the tool's open dialog and waits until the path box shows it.
void Choose(Tool& tool, const std::wstring& path);

}  // namespace tool_process
