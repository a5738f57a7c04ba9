#include "tool_process.h"

#include <memory>
#include <vector>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "control_ids.h"
#include "dialog_driver.h"
#include "test_files.h"

namespace tool_process {
namespace {

using dialog_driver::FindWindowOf;

// A mouse position in the 0..65535 range that absolute input uses.
LONG Normalised(LONG pixel, int screenPixels) {
  return static_cast<LONG>((pixel * 65536LL + 32768) / screenPixels);
}

// The process's shown top-level window of this class, enabled or not: a box
// the tool shows at its start disables its window at once.
HWND ShownWindowOf(DWORD process, const wchar_t* windowClass) {
  for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, nullptr); window;
       window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// The limited half of this process's token: what an administrator's programs
// run with until they are elevated, and all a standard user ever has. Null
// when the token has no such half (it is not elevated).
HANDLE LimitedToken() {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
  TOKEN_ELEVATION_TYPE type{};
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  HANDLE primary = nullptr;
  if (GetTokenInformation(own, TokenElevationType, &type, sizeof type, &size) &&
      type == TokenElevationTypeFull &&
      GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size)) {
    DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                     TokenPrimary, &primary);
    CloseHandle(linked.LinkedToken);
  }
  CloseHandle(own);
  return primary;
}

}  // namespace

// The build names the tool of this architecture (Corvantis.exe or Corvantis64.exe).
std::wstring ToolPath() { return test_files::TestFolder() + L"\\..\\" TOOL_FILE_NAME; }

Tool::Tool(const std::wstring& exe, const wchar_t* windowClass,
           const std::vector<std::wstring>& arguments, Rights rights) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + exe + L"\"";
  for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
  const std::unique_ptr<void, decltype(&CloseHandle)> limited(
      rights == Rights::Limited ? LimitedToken() : nullptr, CloseHandle);
  if (rights == Rights::Limited && !limited) {
    ADD_FAILURE() << "the test runs with no limited token to give the tool";
    return;
  }
  const bool started =
      limited ? CreateProcessAsUserW(limited.get(), exe.c_str(), commandLine.data(), nullptr,
                                     nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)
              : CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info_);
  if (!started) return;
  WaitForInputIdle(info_.hProcess, 20000);
  dialog_driver::WaitUntil(
      [&] { return (window_ = ShownWindowOf(info_.dwProcessId, windowClass)) != nullptr; }, 20s);
}

Tool::~Tool() {
  if (!info_.hProcess) return;
  // Close whatever box is open, then the window; end the process if it lingers.
  while (HWND dialog = FindWindowOf(info_.dwProcessId, L"#32770")) {
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (!dialog_driver::WaitUntil([&] { return !IsWindow(dialog); }, 5s)) break;
  }
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(info_.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

// Until `window` is the foreground and its thread has an open menu or has it
// active: input sent earlier may reach a window still being activated.
static void WaitUntilActive(HANDLE process, HWND window) {
  SetForegroundWindow(window);
  // And its thread waits for input with none pending: a window that closed
  // just now may still have its leaving to do.
  WaitForInputIdle(process, 5000);
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  dialog_driver::WaitUntil(
      [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == window && GetGUIThreadInfo(thread, &info) &&
               ((info.flags & GUI_INMENUMODE) != 0 || info.hwndActive == window);
      },
      5s);
}

void Tool::Type(std::initializer_list<WORD> keys) {
  WaitUntilActive(info_.hProcess, window_);
  std::vector<INPUT> events;
  for (WORD key : keys) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    events.push_back(down);
  }
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
    INPUT up{};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = *key;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    events.push_back(up);
  }
  SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

HWND Tool::WaitForMenu(std::chrono::milliseconds limit) const {
  HWND menu = nullptr;
  dialog_driver::WaitUntil(
      [&] { return (menu = FindWindowOf(info_.dwProcessId, L"#32768")) != nullptr; }, limit);
  return menu;
}

void Tool::Mouse(HWND target, DWORD down, DWORD up) {
  RECT control;
  GetWindowRect(target, &control);
  MouseAt(GetAncestor(target, GA_ROOT),
          {(control.left + control.right) / 2, (control.top + control.bottom) / 2}, down, up);
}

void Tool::ClickSystemIcon() {
  // Where the window itself says its icon is, along its caption.
  RECT frame;
  GetWindowRect(window_, &frame);
  for (LONG y = frame.top; y < frame.top + GetSystemMetrics(SM_CYCAPTION) * 2; y += 2) {
    for (LONG x = frame.left; x < frame.left + GetSystemMetrics(SM_CXSIZE) * 3; x += 2) {
      DWORD_PTR hit = HTNOWHERE;
      SendMessageTimeoutW(window_, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 1000, &hit);
      if (hit == HTSYSMENU) {
        MouseAt(window_, {x + 2, y + 2}, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
        return;
      }
    }
  }
  ADD_FAILURE() << "the window shows no icon for its system menu";
}

void Tool::MouseAt(HWND window, POINT at, DWORD down, DWORD up) {
  // A click reaches whatever lies under the pointer, so the window comes first.
  WaitUntilActive(info_.hProcess, window);
  const LONG x = Normalised(at.x, GetSystemMetrics(SM_CXSCREEN));
  const LONG y = Normalised(at.y, GetSystemMetrics(SM_CYSCREEN));
  // Each event carries the position: under Wine the X server's own pointer
  // events may move the cursor between them.
  INPUT click[3] = {};
  const DWORD buttons[3] = {0, down, up};
  for (int i = 0; i < 3; ++i) {
    click[i].type = INPUT_MOUSE;
    click[i].mi.dx = x;
    click[i].mi.dy = y;
    click[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons[i];
  }
  SendInput(3, click, sizeof(INPUT));
}

HWND Tool::WaitForDialog(std::chrono::milliseconds limit) const {
  HWND dialog = nullptr;
  dialog_driver::WaitUntil(
      [&] { return (dialog = FindWindowOf(info_.dwProcessId, L"#32770")) != nullptr; }, limit);
  return dialog;
}

bool Tool::WaitForNoDialog(std::chrono::milliseconds limit) const {
  return dialog_driver::WaitUntil([&] { return !FindWindowOf(info_.dwProcessId, L"#32770"); },
                                  limit);
}

std::wstring Tool::TakeMessage(std::wstring* title, std::chrono::milliseconds limit) const {
  HWND box = WaitForDialog(limit);
  return box ? dialog_driver::TakeMessageBox(box, title) : std::wstring();
}

std::vector<std::vector<std::wstring>> Tool::ListRows(HWND list) const {
  // The list writes a cell's text where the item record points, and both must
  // lie in the tool's own memory: one block there holds the record and the text.
  constexpr int kChars = 1024;
  struct Cell {
    LVITEMW item;
    wchar_t text[kChars];
  };
  HANDLE process = info_.hProcess;
  const auto release = [process](void* block) { VirtualFreeEx(process, block, 0, MEM_RELEASE); };
  const std::unique_ptr<void, decltype(release)> block(
      VirtualAllocEx(process, nullptr, sizeof(Cell), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE),
      release);
  if (!block) return {};
  auto* remote = static_cast<Cell*>(block.get());
  const auto send = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return result;
  };
  const auto columns =
      send(reinterpret_cast<HWND>(send(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0);
  std::vector<std::vector<std::wstring>> rows(send(list, LVM_GETITEMCOUNT, 0, 0));
  for (std::size_t row = 0; row < rows.size(); ++row) {
    for (DWORD_PTR column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = static_cast<int>(column);
      item.pszText = remote->text;
      item.cchTextMax = kChars;
      WriteProcessMemory(process, &remote->item, &item, sizeof item, nullptr);
      std::wstring text(send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&remote->item)),
                        L'\0');
      ReadProcessMemory(process, remote->text, text.data(), text.size() * sizeof(wchar_t), nullptr);
      rows[row].push_back(text);
    }
  }
  return rows;
}

bool Tool::Responsive() const {
  DWORD_PTR result = 0;
  return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT &&
         SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

void Choose(Tool& tool, const std::wstring& path) {
  tool.Press(kOpenButton);
  HWND dialog = tool.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  dialog_driver::TypeFileName(dialog, path);
  dialog_driver::PressButton(dialog, IDOK);
  ASSERT_TRUE(dialog_driver::WaitUntil(
      [&] { return dialog_driver::WindowText(tool.Control(kPathBox)) == path; }, 10s))
      << "path box: " << testing::PrintToString(dialog_driver::WindowText(tool.Control(kPathBox)));
}

bool Tool::WaitForExit(std::chrono::milliseconds limit) const {
  return WaitForSingleObject(info_.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

}  // namespace tool_process
