// How long the dependency walk takes for a server with 30 DLLs beside it,
// each needing the system's own: the search places are read afresh each
// time, as a report does.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "dependency_walk.h"

namespace {

constexpr int kWalks = 31;
constexpr int kWarmUp = 3;

std::wstring WalkServer() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring folder(exe, std::wstring(exe).find_last_of(L'\\'));
  return folder + L"\\walk\\bench_walk_server.dll";
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain() {
  const std::wstring server = WalkServer();
  std::size_t modules = 0;
  std::vector<double> samples;
  for (int i = 0; i < kWarmUp + kWalks; ++i) {
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    const inspection::Walk walk =
        inspection::WalkDependencies(server, inspection::SearchPlaces::OfThisProcess());
    QueryPerformanceCounter(&t1);
    if (!walk.image || !walk.findings.empty()) {
      std::fwprintf(stderr, L"%ls: the walk found %zu problems\n", server.c_str(),
                    walk.findings.size());
      return 1;
    }
    modules = walk.modules;
    if (i >= kWarmUp) samples.push_back(Milliseconds(t0, t1));
  }
  std::sort(samples.begin(), samples.end());
  std::printf("architecture: %s\n", ARCHITECTURE);
  std::printf("modules read per walk: %zu\n", modules);
  std::printf("dependency walk ms: %.1f\n", samples[samples.size() / 2]);
  return 0;
}
