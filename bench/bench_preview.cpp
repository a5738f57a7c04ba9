// How fast the preview's dialog opens and scrolls a capture as large as the
// reader lets one be: every key the bound allows, four values each, as a type
// library's interfaces give them.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "preview_dialog.h"
#include "registry_capture.h"

namespace {

using Clock = LARGE_INTEGER;

Clock Now() {
  Clock now;
  QueryPerformanceCounter(&now);
  return now;
}

double Seconds(Clock from, Clock to) {
  Clock frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<BYTE> Text(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)};
}

Ostravel::Capture LargestCapture(std::size_t& bytes) {
  Ostravel::Capture capture;
  bytes = 0;
  for (std::size_t i = 0; i < Ostravel::kCaptureKeys; ++i) {
    wchar_t path[96];
    std::swprintf(path, 96, L"Software\\Classes\\Interface\\{00000000-0000-0000-0000-%012zu}", i);
    Ostravel::CapturedKey key{
        Ostravel::RegistryRoot::CurrentUser, path, {}, std::nullopt, false, ERROR_SUCCESS};
    key.values = {{L"", REG_SZ, Text(L"IBenchmarkInterface" + std::to_wstring(i))},
                  {L"ProxyStubClsid32", REG_SZ, Text(L"{00020424-0000-0000-C000-000000000046}")},
                  {L"Version", REG_DWORD, {1, 0, 0, 0}},
                  {L"Flags", REG_BINARY, std::vector<BYTE>(16, 0x5A)}};
    for (const auto& value : key.values) bytes += value.name.size() * 2 + value.data.size();
    capture.keys.push_back(std::move(key));
  }
  return capture;
}

BOOL CALLBACK TakePreview(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (process != GetCurrentProcessId() || std::wstring(name) != L"#32770" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND FindPreview() {
  HWND found = nullptr;
  EnumWindows(TakePreview, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

int wmain() {
  std::size_t bytes = 0;
  Ostravel::TaskResult preview;
  preview.outcome.result = Ostravel::RegistrationResult::Registered;
  preview.capture = LargestCapture(bytes);
  const std::size_t rows = preview.capture.keys.size() * 4;

  std::atomic<bool> ok{false};
  double openSeconds = 0, scrollSeconds = 0;
  int pages = 0;
  const Clock start = Now();
  std::thread driver([&] {
    HWND dialog = nullptr;
    for (int i = 0; i < 30000 && !(dialog = FindPreview()); ++i) Sleep(1);
    if (!dialog) {
      std::fprintf(stderr, "the preview did not show\n");
      ExitProcess(1);
    }
    HWND list = GetDlgItem(dialog, kPreviewList);
    // Shown once it has drawn its rows and answers.
    UpdateWindow(list);
    SendMessageW(dialog, WM_NULL, 0, 0);
    openSeconds = Seconds(start, Now());

    // Page by page to the end, each page drawn before the next.
    const Clock scrolling = Now();
    const int last = static_cast<int>(rows) - 1;
    while (ListView_GetTopIndex(list) + ListView_GetCountPerPage(list) <= last && pages < 100000) {
      SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, 0);
      UpdateWindow(list);
      ++pages;
    }
    scrollSeconds = Seconds(scrolling, Now());
    ok = ListView_GetItemCount(list) == static_cast<int>(rows);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  ShowPreview(nullptr, L"C:\\bench\\largest.dll", std::move(preview));
  driver.join();
  if (!ok) {
    std::fprintf(stderr, "the preview did not show all its rows\n");
    return 1;
  }
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("capture: %zu keys, %zu rows, %zu bytes of names and data\n",
              static_cast<std::size_t>(Ostravel::kCaptureKeys), rows, bytes);
  std::printf("opened in %.0f ms; scrolled end to end in %d pages, %.2f ms a page\n",
              openSeconds * 1e3, pages, pages ? scrollSeconds * 1e3 / pages : 0.0);
  std::printf("preview rows per second: %.0f\n", static_cast<double>(rows) / openSeconds);
  return 0;
}
