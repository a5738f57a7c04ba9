// What the window's way of registering costs the user against the platform's
// own tool as a script runs it: the good test server registered by a child
// copy of the tool and by `regsvr32 /s` of the system's own bitness, a fresh
// process per call. The window starts its child when the user chooses a file,
// so the user waits from the press to the outcome; the same child timed from
// its start is printed too. All take turns, so that all see the same machine;
// the ratios are of the medians.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "median.h"
#include "file_name.h"
#include "owned_handle.h"
#include "server_child.h"

namespace {

constexpr int kCalls = 21;
constexpr int kWarmUp = 2;
// Between choosing a file and pressing the button, as the quickest user.
constexpr DWORD kUserPauseMs = 500;

std::wstring Beside(const std::wstring& relative) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring path = std::wstring(toolkit::FolderOf(exe)) + relative;
  wchar_t full[MAX_PATH];
  GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return full;
}

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart / frequency;
}

// Runs the command line to its end; its exit code, or -1.
long RunToEnd(const std::wstring& exe, std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return -1;
  }
  const toolkit::OwnedHandle process(info.hProcess), thread(info.hThread);
  DWORD code = 0;
  const bool ended = WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(info.hProcess, &code);
  return ended ? static_cast<long>(code) : -1;
}

}  // namespace

int wmain() {
  SetDllDirectoryW(L"");
  const std::wstring tool = Beside(L"..\\" TOOL_FILE_NAME);
  const std::wstring server = Beside(L"..\\tests\\fixtures\\good_server.dll");
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring regsvr32 = std::wstring(system) + L"\\regsvr32.exe";
  const std::wstring regsvr32Line = L"\"" + regsvr32 + L"\" /s \"" + server + L"\"";
  // The tool's own start and end, with nothing to do: the child's switch
  // without a pipe ends it at once.
  const std::wstring bareLine = L"\"" + tool + L"\" /corvantis-child none";
  const Ostravel::ChildRequest request{
      Ostravel::ServerTask::Register, Ostravel::RegistrationScope::AsTheServerWrites, server, {}};

  std::vector<double> pressed, started, platform, bare;
  for (int i = 0; i < kWarmUp + kCalls; ++i) {
    Ostravel::ServerChild ahead(tool);
    Sleep(kUserPauseMs);
    const double t0 = Now();
    const Ostravel::ServerRun run = ahead.Run(request);
    const double t1 = Now();
    const long code = RunToEnd(regsvr32, regsvr32Line);
    const double t2 = Now();
    const Ostravel::ServerRun fresh = Ostravel::ServerChild(tool).Run(request);
    const double t3 = Now();
    RunToEnd(tool, bareLine);
    const double t4 = Now();
    if (!run.outcome.Succeeded() || !fresh.outcome.Succeeded() || code != 0) {
      std::fwprintf(stderr, L"cannot register %ls (child %d, regsvr32 %ld)\n", server.c_str(),
                    static_cast<int>(run.outcome.result), code);
      return 1;
    }
    if (i < kWarmUp) continue;
    pressed.push_back(t1 - t0);
    platform.push_back(t2 - t1);
    started.push_back(t3 - t2);
    bare.push_back(t4 - t3);
  }
  const double platformMedian = Median(platform);
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("calls: %d each\n", kCalls);
  std::printf("regsvr32 /s median: %.1f ms\n", platformMedian * 1e3);
  std::printf("child from the press (started ahead) median: %.1f ms\n", Median(pressed) * 1e3);
  std::printf("child from its start median: %.1f ms\n", Median(started) * 1e3);
  std::printf("the tool's bare start and end median: %.1f ms\n", Median(bare) * 1e3);
  std::printf("child from its start over regsvr32: %.2f\n", Median(started) / platformMedian);
  std::printf("child registration over regsvr32: %.2f\n", Median(pressed) / platformMedian);
  return 0;
}
