// The dependency walk over real fixtures, the system's own DLLs, its limits,
// and over broken files: mutated copies of the fixtures must each end with an
// answer, never a crash or a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <future>
#include <random>
#include <vector>

#include <windows.h>

#include "dependency_walk.h"
#include "pe_image.h"
#include "test_files.h"

namespace {

using Inspection::Finding;
using Inspection::SearchPlaces;
using Inspection::Walk;
using Inspection::WalkDependencies;
using test_files::Fixture;

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

const SearchPlaces& Places() {
  static const SearchPlaces places = SearchPlaces::OfThisProcess();
  return places;
}

// Wine's system DLLs are PE files with real export tables, forwarders into
// other DLLs and API sets among them: a server importing from kernel32,
// advapi32, ole32 and the C runtime needs nothing that is not there.
TEST(DependencyWalk, TheSystemsOwnDllsLackNothingAServerImports) {
  for (const wchar_t* server : {L"good_server.dll", L"typelib_server.dll", L"beside\\needs_helper.dll"}) {
    const Walk walk = WalkDependencies(Fixture(server), Places());
    EXPECT_TRUE(walk.image) << server;
    EXPECT_TRUE(walk.findings.empty()) << server << ": " << walk.findings.size() << " findings, first "
                                       << testing::PrintToString(walk.findings.front().module + L" " +
                                                                 walk.findings.front().function);
    EXPECT_FALSE(walk.cut);
    EXPECT_TRUE(walk.Exports("DllRegisterServer"));
  }
}

// A server whose needs run past the limits is not blamed for what was never
// looked at: the walk says it was cut short.
TEST(DependencyWalk, ALimitCutsTheWalkWithoutCallingAnythingMissing) {
  Inspection::WalkLimits shallow;
  shallow.depth = 1;
  const Walk deep = WalkDependencies(Fixture(L"chain\\chain_server.dll"), Places(), shallow);
  EXPECT_TRUE(deep.cut);
  EXPECT_TRUE(deep.findings.empty());

  Inspection::WalkLimits few;
  few.modules = 1;
  const Walk narrow = WalkDependencies(Fixture(L"chain\\chain_server.dll"), Places(), few);
  EXPECT_TRUE(narrow.cut);
  EXPECT_TRUE(narrow.findings.empty());

  Inspection::WalkLimits small;
  small.fileBytes = 1024;
  EXPECT_FALSE(WalkDependencies(Fixture(L"good_server.dll"), Places(), small).readable);
}

// The places are the walk's parameter: without a system folder, the
// system's DLLs are missing too, by the name the server imports them under.
TEST(DependencyWalk, NamesAreLookedUpOnlyInThePlacesGiven) {
  const Walk walk = WalkDependencies(Fixture(L"beside\\needs_helper.dll"), SearchPlaces{});
  std::vector<std::wstring> missing;
  for (const Finding& f : walk.findings) {
    if (f.kind == Finding::Kind::MissingModule) missing.push_back(f.module);
  }
  EXPECT_FALSE(missing.empty());
  for (const std::wstring& name : missing) EXPECT_NE(name, L"fixture_helper.dll") << "it sits beside the server";
}

// Mutations of real images: bytes changed in the headers and tables, bytes
// changed anywhere, and cuts at any length, for the server and for a DLL it
// imports. A fixed seed makes a failure repeatable.
TEST(DependencyWalk, MutatedFilesEachEndWithAnAnswer) {
  const test_files::TempFolder dir;
  const std::wstring server = dir.File(L"dep.dll");
  const std::wstring helper = dir.File(L"fixture_helper.dll");
  const std::vector<std::vector<std::uint8_t>> originals{
      ReadAll(Fixture(L"beside\\needs_helper.dll")), ReadAll(Fixture(L"beside\\fixture_helper.dll")),
      ReadAll(Fixture(L"gone\\gone_server.dll")), ReadAll(Fixture(L"delay_server.dll")),
      ReadAll(Fixture(L"sxs_server.dll"))};
  for (const auto& original : originals) ASSERT_GT(original.size(), 1024u);

  auto run = std::async(std::launch::async, [&] {
    std::mt19937 random(20261207);
    int images = 0;
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
      const bool mutateHelper = round % 3 == 2;
      std::vector<std::uint8_t> bytes = originals[mutateHelper ? 1 : round % originals.size()];
      switch (round % 4) {
        case 0:  // the headers and the tables near them
          for (int i = 0; i < 8; ++i) bytes[random() % 1024] = static_cast<std::uint8_t>(random());
          break;
        case 1:  // anywhere, with values a table likes to hold
          for (int i = 0; i < 32; ++i) {
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(i % 2 ? 0xFF : random());
          }
          break;
        case 2:
          bytes.resize(random() % bytes.size());
          break;
        default:  // counts and offsets blown up four bytes at a time
          for (int i = 0; i < 4; ++i) {
            const std::size_t at = random() % (bytes.size() - 4);
            for (int k = 0; k < 4; ++k) bytes[at + k] = 0xFF;
          }
      }
      WriteAll(mutateHelper ? helper : server, bytes);
      if (mutateHelper) WriteAll(server, originals[0]);
      const Walk walk = WalkDependencies(server, Places());
      if (walk.image) ++images;
    }
    return images;
  });
  if (run.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    // The hung walk cannot be stopped, and the future would wait for it.
    std::fputs("DependencyWalk.MutatedFilesEachEndWithAnAnswer: a walk did not end within 60 s\n", stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  EXPECT_GT(run.get(), 0) << "no mutation kept an image: the mutations test nothing past the headers";
}

}  // namespace
