// What CallServerRegistration costs over the least a caller could do in-process
// with the same server: load it, look the entry point up, call it, free it.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "median.h"
#include "ostravel.h"

namespace {

constexpr int kCalls = 300;
constexpr int kWarmUp = 20;

std::wstring QuickServer() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring relative = exe;
  relative =
      relative.substr(0, relative.find_last_of(L'\\')) + L"\\..\\tests\\fixtures\\quick_server.dll";
  wchar_t full[MAX_PATH];
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

bool Baseline(const std::wstring& path) {
  HMODULE module = LoadLibraryW(path.c_str());
  if (!module) return false;
  auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  const bool ok = entry && SUCCEEDED(entry());
  FreeLibrary(module);
  return ok;
}

bool Ours(const std::wstring& path) {
  return Ostravel::CallServerRegistration(path, 1).Succeeded();
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return (to.QuadPart - from.QuadPart) / frequency;
}

}  // namespace

int wmain() {
  SetDllDirectoryW(L"");
  const std::wstring server = QuickServer();
  for (int i = 0; i < kWarmUp; ++i) {
    if (!Baseline(server) || !Ours(server)) {
      std::fwprintf(stderr, L"cannot register %ls\n", server.c_str());
      return 1;
    }
  }
  // Interleaved, so that both see the same machine.
  std::vector<double> ours, baseline;
  for (int i = 0; i < kCalls; ++i) {
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    Baseline(server);
    QueryPerformanceCounter(&t1);
    Ours(server);
    QueryPerformanceCounter(&t2);
    baseline.push_back(Seconds(t0, t1));
    ours.push_back(Seconds(t1, t2));
  }
  const double oursMedian = Median(ours), baselineMedian = Median(baseline);
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("calls: %d each\n", kCalls);
  std::printf("baseline median: %.1f us\n", baselineMedian * 1e6);
  std::printf("CallServerRegistration median: %.1f us\n", oursMedian * 1e6);
  std::printf("registration overhead ratio: %.2f\n", oursMedian / baselineMedian);
  return 0;
}
