// How long the tool takes from process start until its window is shown and
// idle, against a minimal Win32 window program measured the same way. The two
// run in turn so that both see the same machine.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

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
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
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
  return idle && search.found ? static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart
                              : -1;
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace

int wmain() {
  const std::wstring tool = Beside(L"..\\" TOOL_FILE_NAME);
  const std::wstring minimal = Beside(L"minimal_window.exe");
  std::vector<double> ours, baseline;
  for (int i = 0; i < kWarmUp + kRuns; ++i) {
    const double a = TimeStartUp(minimal);
    const double b = TimeStartUp(tool);
    if (a < 0 || b < 0) {
      std::fwprintf(stderr, L"%ls did not come up\n", (a < 0 ? minimal : tool).c_str());
      return 1;
    }
    if (i >= kWarmUp) {
      baseline.push_back(a);
      ours.push_back(b);
    }
  }
  const double oursMedian = Median(ours), baselineMedian = Median(baseline);
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("runs: %d each\n", kRuns);
  std::printf("minimal window median: %.1f ms\n", baselineMedian * 1e3);
  std::printf("Corvantis median: %.1f ms\n", oursMedian * 1e3);
  std::printf("startup ratio: %.2f\n", oursMedian / baselineMedian);
  return 0;
}
