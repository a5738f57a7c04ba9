// How long the tool takes from process start until its window is shown and
// idle, against two programs measured the same way: a minimal Win32 window,
// and one that builds just the tool's window with its controls and fonts; the
// second ratio is the tool's own cost. Each round starts the three in turn,
// and a ratio is the median over the rounds of the tool's time over the other's
// in the same round: on a shared machine the load moves between rounds, and
// comparing within a round cancels it.
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include <windows.h>

#include "median.h"

namespace {

constexpr int kRuns = 15;
constexpr int kWarmUp = 2;

std::wstring Beside(const wchar_t* relative) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path = exe;
  path = path.substr(0, path.find_last_of(L'\\') + 1) + relative;
  wchar_t full[MAX_PATH];
  GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return full;
}

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Seconds from CreateProcess until the window is idle, or a negative number.
double TimeStartUp(const std::wstring& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  LARGE_INTEGER frequency, from, to;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&from);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return -1;
  }
  const bool idle = WaitForInputIdle(info.hProcess, 30000) == 0;
  QueryPerformanceCounter(&to);

  // Closing needs the window; it may still be on its way when the loop idles.
  Search search{info.dwProcessId, nullptr};
  for (int i = 0; i < 500 && !search.found; ++i) {
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(20);
  }
  if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 10000);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return idle && search.found
             ? static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart
             : -1;
}

double MedianRatio(const std::vector<double>& over, const std::vector<double>& under) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < over.size(); ++i) ratios.push_back(over[i] / under[i]);
  return Median(ratios);
}

}  // namespace

int wmain() {
  struct Program {
    std::wstring exe;
    std::vector<double> seconds;
  };
  Program minimal{Beside(L"minimal_window.exe"), {}}, same{Beside(L"same_window.exe"), {}},
      tool{Beside(L"..\\" TOOL_FILE_NAME), {}};
  for (int i = 0; i < kWarmUp + kRuns; ++i) {
    for (Program* program : {&minimal, &same, &tool}) {
      const double seconds = TimeStartUp(program->exe);
      if (seconds < 0) {
        std::fwprintf(stderr, L"%ls did not come up\n", program->exe.c_str());
        return 1;
      }
      if (i >= kWarmUp) program->seconds.push_back(seconds);
    }
  }
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("runs: %d each\n", kRuns);
  std::printf("minimal window median: %.1f ms\n", Median(minimal.seconds) * 1e3);
  std::printf("same window median: %.1f ms\n", Median(same.seconds) * 1e3);
  std::printf("Corvantis median: %.1f ms\n", Median(tool.seconds) * 1e3);
  std::printf("startup ratio: %.2f\n", MedianRatio(tool.seconds, minimal.seconds));
  std::printf("startup ratio over same window: %.2f\n", MedianRatio(tool.seconds, same.seconds));
  return 0;
}
