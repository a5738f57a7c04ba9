// How long the registration status of the status test server takes: its 50
// classes and type library read from the file and looked up in both views and
// scopes, on a thread of its own as the window reads it. The server is
// registered to itself meanwhile, so that every entry's file is compared.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "registration_status.h"

namespace {

constexpr int kReads = 50;

std::wstring StatusServer() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring relative = exe;
  relative = relative.substr(0, relative.find_last_of(L'\\')) +
             L"\\..\\tests\\fixtures\\status_server.dll";
  wchar_t full[MAX_PATH];
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

bool Run(const std::wstring& server, const char* entry) {
  HMODULE module = LoadLibraryW(server.c_str());
  if (!module) return false;
  auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, entry)));
  const bool ok = call && SUCCEEDED(call());
  FreeLibrary(module);
  return ok;
}

}  // namespace

int wmain() {
  SetDllDirectoryW(L"");
  const std::wstring server = StatusServer();
  if (!Run(server, "DllRegisterServer")) {
    std::fwprintf(stderr, L"cannot register %ls\n", server.c_str());
    return 1;
  }
  std::vector<double> samples;
  inspection::Verdict verdict = inspection::Verdict::Unknown;
  std::size_t items = 0;
  for (int i = 0; i < kReads + 1; ++i) {
    const auto start = std::chrono::steady_clock::now();
    std::thread([&] {
      const inspection::RegistrationStatus status = inspection::ReadRegistrationStatus(server);
      verdict = status.verdict;
      items = status.items.size();
    }).join();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (i > 0) samples.push_back(took.count());  // the first one loads the system's parser
  }
  Run(server, "DllUnregisterServer");
  std::sort(samples.begin(), samples.end());
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf(
      "reads: %d of %zu items, %s\n", kReads, items,
      verdict == inspection::Verdict::ThisFile ? "registered to this file" : "UNEXPECTED VERDICT");
  std::printf("slowest: %.2f ms\n", samples.back());
  std::printf("status ms: %.2f\n", samples[samples.size() / 2]);
  return verdict == inspection::Verdict::ThisFile ? 0 : 1;
}
