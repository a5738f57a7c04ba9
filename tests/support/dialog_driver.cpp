#include "dialog_driver.h"

#include <vector>

#include <dlgs.h>

namespace dialog_driver {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(20);
  }
  return true;
}

namespace {

struct Search {
  DWORD process;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process == search->process && IsWindowVisible(window) && IsWindowEnabled(window) &&
      lstrcmpW(name, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindWindowOf(DWORD process, const wchar_t* className) {
  Search search{process, className, nullptr};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(std::chrono::milliseconds limit, const wchar_t* className) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(GetCurrentProcessId(), className)) != nullptr; },
            limit);
  return found;
}

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return {};
  }
  std::vector<wchar_t> buffer(length + 1);
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  return std::wstring(buffer.data(), copied);
}

std::wstring ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetControlText(HWND dialog, int id, const std::wstring& text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TypeFileName(HWND dialog, const std::wstring& name) {
  SetControlText(dialog, GetDlgItem(dialog, edt1) ? edt1 : cmb13, name);
}

void PressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring TakeMessageBox(HWND box, std::wstring* title) {
  std::wstring text;
  WaitUntil([&] { return !(text = ControlText(box, kMessageBoxTextId)).empty(); }, 5s);
  if (title) *title = WindowText(box);
  PressButton(box, IDOK);
  WaitUntil([&] { return !IsWindow(box); }, 10s);
  return text;
}

Driver::Driver(std::function<void(HWND)> actions, std::chrono::milliseconds limit,
               const wchar_t* className)
    : thread_([this, actions = std::move(actions), limit, className] {
        HWND dialog = WaitForWindow(limit, className);
        found_ = dialog != nullptr;
        if (dialog) actions(dialog);
      }) {}

Driver::~Driver() {
  if (thread_.joinable()) thread_.join();
}

bool Driver::Found() {
  if (thread_.joinable()) thread_.join();
  return found_;
}

}  // namespace dialog_driver
