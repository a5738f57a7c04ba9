// A batch of 50 servers through the tool's per-file path, the very call each
// file of a batch makes, against `regsvr32 /s` started once per file, in the
// same run on the same copies of the good test server.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

#include "child_side.h"
#include "registration_worker.h"

namespace {

constexpr int kFiles = 50;
constexpr int kRounds = 3;

std::wstring BesideBench(const std::wstring& relative) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::filesystem::path path(exe);
  return std::filesystem::weakly_canonical(path.parent_path() / relative).wstring();
}

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart / frequency;
}

bool Batch(const std::vector<std::wstring>& files) {
  for (const std::wstring& file : files) {
    if (!RunServerTask(file, Ostravel::ServerTask::Register).outcome.Succeeded()) return false;
  }
  return true;
}

bool Regsvr32(const std::wstring& regsvr32, const std::vector<std::wstring>& files) {
  for (const std::wstring& file : files) {
    std::wstring commandLine = L"\"" + regsvr32 + L"\" /s \"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(regsvr32.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
      return false;
    }
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (code != 0) return false;
  }
  return true;
}

}  // namespace

int wmain() {
  SetDllDirectoryW(L"");
  // A server's code runs in a child copy of the program that asks for it,
  // which for this program is this program.
  if (auto code = Ostravel::RunServerChildIfAsked()) return *code;
  // regsvr32 of the tool's own bitness: System32 as this process sees it.
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring regsvr32 = std::wstring(system) + L"\\regsvr32.exe";

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::filesystem::path folder =
      std::filesystem::path(temp) / (L"corvantis-bench-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  const std::wstring server = BesideBench(L"..\\tests\\fixtures\\good_server.dll");
  std::vector<std::wstring> files;
  for (int i = 0; i < kFiles; ++i) {
    const std::filesystem::path copy = folder / (L"server" + std::to_wstring(i) + L".dll");
    std::filesystem::copy_file(server, copy, std::filesystem::copy_options::overwrite_existing);
    files.push_back(copy.wstring());
  }

  // One of each first, so that neither pays for the first load of anything.
  const std::vector<std::wstring> first(files.begin(), files.begin() + 1);
  int status = 0;
  std::vector<double> ratios;
  if (!Batch(first) || !Regsvr32(regsvr32, first)) {
    std::fwprintf(stderr, L"cannot register %ls\n", server.c_str());
    status = 1;
  }
  for (int round = 0; status == 0 && round < kRounds; ++round) {
    const double t0 = Now();
    const bool batched = Batch(files);
    const double t1 = Now();
    const bool separately = Regsvr32(regsvr32, files);
    const double t2 = Now();
    if (!batched || !separately) {
      std::fwprintf(stderr, L"a registration failed in round %d\n", round + 1);
      status = 1;
      break;
    }
    std::printf("round %d: batch %.3f s, regsvr32 %.3f s\n", round + 1, t1 - t0, t2 - t1);
    ratios.push_back((t1 - t0) / (t2 - t1));
  }
  RunServerTask(files.front(), Ostravel::ServerTask::Unregister);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (status != 0) return status;
  std::sort(ratios.begin(), ratios.end());
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("files: %d, rounds: %d\n", kFiles, kRounds);
  std::printf("batch over regsvr32 per file: %.2f\n", ratios[ratios.size() / 2]);
  return 0;
}
