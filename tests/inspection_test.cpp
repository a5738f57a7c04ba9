// The dependency walk over real fixtures, the system's own DLLs, its limits,
// and over broken files: mutated copies of the fixtures must each end with an
// answer, never a crash or a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <fstream>
#include <future>
#include <random>
#include <vector>

#include <windows.h>

#include "dependency_walk.h"
#include "load_failure.h"
#include "pe_image.h"
#include "test_files.h"

namespace {

using inspection::Finding;
using inspection::SearchPlaces;
using inspection::Walk;
using inspection::WalkDependencies;
using test_files::Fixture;

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

const SearchPlaces& Places() {
  static const SearchPlaces places = SearchPlaces::OfThisProcess();
  return places;
}

// Wine's system DLLs are PE files with real export tables, forwarders into
// other DLLs and API sets among them: a server importing from kernel32,
// advapi32, ole32 and the C runtime needs nothing that is not there.
TEST(DependencyWalk, TheSystemsOwnDllsLackNothingAServerImports) {
  for (const wchar_t* server :
       {L"good_server.dll", L"typelib_server.dll", L"beside\\needs_helper.dll"}) {
    const Walk walk = WalkDependencies(Fixture(server), Places());
    EXPECT_TRUE(walk.image) << server;
    EXPECT_TRUE(walk.findings.empty())
        << server << ": " << walk.findings.size() << " findings, first "
        << testing::PrintToString(walk.findings.front().module + L" " +
                                  walk.findings.front().function);
    EXPECT_FALSE(walk.cut);
    EXPECT_TRUE(walk.Exports("DllRegisterServer"));
  }
}

// A server whose needs run past the limits is not blamed for what was never
// looked at: the walk says it was cut short.
TEST(DependencyWalk, ALimitCutsTheWalkWithoutCallingAnythingMissing) {
  inspection::WalkLimits shallow;
  shallow.depth = 1;
  const Walk deep = WalkDependencies(Fixture(L"chain\\chain_server.dll"), Places(), shallow);
  EXPECT_TRUE(deep.cut);
  EXPECT_TRUE(deep.findings.empty());

  inspection::WalkLimits few;
  few.modules = 1;
  const Walk narrow = WalkDependencies(Fixture(L"chain\\chain_server.dll"), Places(), few);
  EXPECT_TRUE(narrow.cut);
  EXPECT_TRUE(narrow.findings.empty());

  inspection::WalkLimits small;
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
  for (const std::wstring& name : missing)
    EXPECT_NE(name, L"fixture_helper.dll") << "it sits beside the server";
}

// A DLL of this process's machine made in memory: imports by name ("#n" for
// an ordinal) and exports, each a function or a forwarder ("module.name").
class ImageBuilder {
 public:
  ImageBuilder& Import(std::string module, std::vector<std::string> functions) {
    imports_.push_back({std::move(module), std::move(functions)});
    return *this;
  }
  ImageBuilder& DelayImport(std::string module, std::vector<std::string> functions) {
    delayImports_.push_back({std::move(module), std::move(functions)});
    return *this;
  }
  ImageBuilder& Export(std::string name, std::string forwarder = {}) {
    exports_.push_back({std::move(name), std::move(forwarder)});
    return *this;
  }

  void WriteTo(const std::wstring& path) const { WriteAll(path, Build()); }

 private:
  static constexpr std::uint32_t kSectionRva = 0x1000, kSectionFile = 0x200;
  using Header = std::conditional_t<sizeof(void*) == 8, IMAGE_NT_HEADERS64, IMAGE_NT_HEADERS32>;
  using Thunk = std::uintptr_t;

  template <typename T>
  static std::uint32_t Put(std::vector<std::uint8_t>& data, const T& value) {
    const auto at = static_cast<std::uint32_t>(data.size());
    data.resize(data.size() + sizeof value);
    std::memcpy(data.data() + at, &value, sizeof value);
    return at + kSectionRva;
  }
  static std::uint32_t PutText(std::vector<std::uint8_t>& data, const std::string& text) {
    const auto at = static_cast<std::uint32_t>(data.size());
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0);
    data.push_back(0);  // room for a hint before a name that follows
    return at + kSectionRva;
  }
  template <typename T>
  static void Patch(std::vector<std::uint8_t>& data, std::uint32_t rva, const T& value) {
    std::memcpy(data.data() + rva - kSectionRva, &value, sizeof value);
  }

  using Imports = std::vector<std::pair<std::string, std::vector<std::string>>>;

  // The name table of one imported module, ended by a zero.
  static std::uint32_t PutThunks(std::vector<std::uint8_t>& data,
                                 const std::vector<std::string>& functions) {
    std::vector<Thunk> thunks;
    for (const std::string& f : functions) {
      thunks.push_back(f[0] == '#' ? (Thunk{1} << (sizeof(Thunk) * 8 - 1)) | std::stoul(f.substr(1))
                                   : PutText(data, "\1\1" + f) /* hint, then the name */);
    }
    thunks.push_back(0);
    const std::uint32_t first = Put(data, thunks[0]);
    for (std::size_t t = 1; t < thunks.size(); ++t) Put(data, thunks[t]);
    return first;
  }

  // A table of descriptors, one per module and an empty one to end it.
  template <typename Descriptor, typename Fill>
  static std::uint32_t PutTable(std::vector<std::uint8_t>& data, const Imports& imports,
                                Fill fill) {
    const std::uint32_t table = static_cast<std::uint32_t>(data.size()) + kSectionRva;
    data.resize(data.size() + (imports.size() + 1) * sizeof(Descriptor));
    for (std::size_t i = 0; i < imports.size(); ++i) {
      Descriptor d{};
      fill(d, PutText(data, imports[i].first), PutThunks(data, imports[i].second));
      Patch(data, table + static_cast<std::uint32_t>(i * sizeof d), d);
    }
    return table;
  }

  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> data(16, 0);  // a function's body: any RVA outside the export table
    const std::uint32_t descriptors = PutTable<IMAGE_IMPORT_DESCRIPTOR>(
        data, imports_, [](IMAGE_IMPORT_DESCRIPTOR& d, std::uint32_t name, std::uint32_t thunks) {
          d.Name = name;
          d.OriginalFirstThunk = d.FirstThunk = thunks;
        });
    const std::uint32_t delayDescriptors = PutTable<IMAGE_DELAYLOAD_DESCRIPTOR>(
        data, delayImports_,
        [](IMAGE_DELAYLOAD_DESCRIPTOR& d, std::uint32_t name, std::uint32_t thunks) {
          d.Attributes.AllAttributes = 1;  // RVAs
          d.DllNameRVA = name;
          d.ImportNameTableRVA = d.ImportAddressTableRVA = thunks;
        });
    const std::uint32_t exportStart = static_cast<std::uint32_t>(data.size()) + kSectionRva;
    IMAGE_EXPORT_DIRECTORY directory{};
    const std::uint32_t directoryRva = Put(data, directory);
    directory.Base = 1;
    directory.NumberOfFunctions = directory.NumberOfNames = static_cast<DWORD>(exports_.size());
    std::vector<std::uint32_t> functions, names;
    for (const auto& [name, forwarder] : exports_) {
      functions.push_back(forwarder.empty() ? kSectionRva : PutText(data, forwarder));
      names.push_back(PutText(data, name));
    }
    directory.AddressOfFunctions = static_cast<DWORD>(data.size()) + kSectionRva;
    for (std::uint32_t f : functions) Put(data, f);
    directory.AddressOfNames = static_cast<DWORD>(data.size()) + kSectionRva;
    for (std::uint32_t n : names) Put(data, n);
    directory.AddressOfNameOrdinals = static_cast<DWORD>(data.size()) + kSectionRva;
    for (std::size_t i = 0; i < exports_.size(); ++i) Put(data, static_cast<WORD>(i));
    Patch(data, directoryRva, directory);
    const std::uint32_t exportSize =
        static_cast<std::uint32_t>(data.size()) + kSectionRva - exportStart;
    data.resize((data.size() + 0x1FF) & ~std::size_t{0x1FF});

    std::vector<std::uint8_t> file(kSectionFile, 0);
    IMAGE_DOS_HEADER dos{};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = 0x40;
    std::memcpy(file.data(), &dos, sizeof dos);
    Header nt{};
    nt.Signature = IMAGE_NT_SIGNATURE;
    nt.FileHeader.Machine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    nt.FileHeader.NumberOfSections = 1;
    nt.FileHeader.SizeOfOptionalHeader = sizeof nt.OptionalHeader;
    nt.FileHeader.Characteristics = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE;
    nt.OptionalHeader.Magic =
        sizeof(void*) == 8 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    nt.OptionalHeader.ImageBase = 0x10000000;
    nt.OptionalHeader.SectionAlignment = 0x1000;
    nt.OptionalHeader.FileAlignment = 0x200;
    nt.OptionalHeader.SizeOfHeaders = kSectionFile;
    nt.OptionalHeader.SizeOfImage =
        kSectionRva + static_cast<DWORD>((data.size() + 0xFFF) & ~std::size_t{0xFFF});
    nt.OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT] = {
        descriptors, static_cast<DWORD>((imports_.size() + 1) * sizeof(IMAGE_IMPORT_DESCRIPTOR))};
    nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT] = {directoryRva, exportSize};
    if (!delayImports_.empty()) {
      nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT] = {
          delayDescriptors,
          static_cast<DWORD>((delayImports_.size() + 1) * sizeof(IMAGE_DELAYLOAD_DESCRIPTOR))};
    }
    std::memcpy(file.data() + dos.e_lfanew, &nt, sizeof nt);
    IMAGE_SECTION_HEADER section{};
    std::memcpy(section.Name, ".data", 5);
    section.Misc.VirtualSize = section.SizeOfRawData = static_cast<DWORD>(data.size());
    section.VirtualAddress = kSectionRva;
    section.PointerToRawData = kSectionFile;
    std::memcpy(file.data() + dos.e_lfanew + sizeof nt, &section, sizeof section);
    file.resize(kSectionFile + data.size());
    std::memcpy(file.data() + kSectionFile, data.data(), data.size());
    return file;
  }

  Imports imports_, delayImports_;
  std::vector<std::pair<std::string, std::string>> exports_;
};

std::vector<std::wstring> Missing(const Walk& walk) {
  std::vector<std::wstring> missing;
  for (const Finding& f : walk.findings) {
    if (f.kind == Finding::Kind::MissingFunction) missing.push_back(f.module + L" " + f.function);
  }
  return missing;
}

// Forwarders are followed to where the function really is, or is not, and
// a ring of forwarders ends the search rather than the walk.
TEST(DependencyWalk, ForwardersAndOrdinalsAreFollowedAndARingOfForwardersEnds) {
  const test_files::TempFolder dir;
  ImageBuilder()
      .Import("lib.dll", {"Direct", "Forwarded", "ForwardedAway", "#2", "#9", "Ring"})
      .Export("DllRegisterServer")
      .WriteTo(dir.File(L"server.dll"));
  ImageBuilder()
      .Export("Direct")
      .Export("Forwarded", "other.Real")
      .Export("ForwardedAway", "other.Gone")
      .Export("Ring", "ring.Ring")
      .WriteTo(dir.File(L"lib.dll"));
  ImageBuilder().Export("Real").WriteTo(dir.File(L"other.dll"));
  ImageBuilder().Export("Ring", "lib.Ring").WriteTo(dir.File(L"ring.dll"));

  const Walk walk = WalkDependencies(dir.File(L"server.dll"), Places());
  EXPECT_TRUE(walk.Exports("DllRegisterServer"));
  EXPECT_EQ(Missing(walk), (std::vector<std::wstring>{L"lib.dll ForwardedAway", L"lib.dll #9"}))
      << "ordinal 2 is Forwarded; ordinal 9 is past the table; the ring is not known to be missing";
}

// A server named relative to its drive's current folder ("Z:server.dll") is
// named by its file name alone, as the loader names it, in the chain that
// leads to what it lacks.
TEST(DependencyWalk, ADriveRelativeServerIsNamedByItsFileName) {
  const test_files::TempFolder dir;
  ImageBuilder()
      .Import("lib.dll", {"Absent"})
      .Export("DllRegisterServer")
      .WriteTo(dir.File(L"server.dll"));
  ImageBuilder().Export("Present").WriteTo(dir.File(L"lib.dll"));
  wchar_t previous[MAX_PATH] = {};
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
  const Walk walk = WalkDependencies(dir.Path().substr(0, 2) + L"server.dll", Places());
  SetCurrentDirectoryW(previous);

  EXPECT_EQ(Missing(walk), std::vector<std::wstring>{L"lib.dll Absent"});
  ASSERT_FALSE(walk.findings.empty());
  EXPECT_EQ(walk.findings.front().chain, std::vector<std::wstring>{L"server.dll"});
}

// Delay-loaded DLLs are not needed to load: only a delay-load failure names
// what of them is missing.
TEST(DependencyWalk, DelayLoadedNeedsAreNamedForADelayLoadFailureOnly) {
  const test_files::TempFolder dir;
  const std::wstring server = dir.File(L"server.dll");
  ImageBuilder()
      .DelayImport("lib.dll", {"Direct", "Absent"})
      .DelayImport("nowhere.dll", {"Anything"})
      .Export("DllRegisterServer")
      .WriteTo(server);
  ImageBuilder().Export("Direct").WriteTo(dir.File(L"lib.dll"));

  const auto explain = [&](Ostravel::RegistrationResult result, std::uint32_t detail) {
    return inspection::ExplainLoadFailure(server, Ostravel::ServerTask::Register,
                                          Ostravel::RegistrationOutcome{result, detail}, Places());
  };
  const std::vector<std::wstring> named{L"lib.dll 缺少延迟加载的函数 Absent(server.dll 需要它)",
                                        L"缺少延迟加载的 nowhere.dll(server.dll 需要它)"};
  EXPECT_EQ(explain(Ostravel::RegistrationResult::EntryPointCrashed, 0xC06D007F), named);
  EXPECT_EQ(explain(Ostravel::RegistrationResult::EntryPointCrashed, 0xC06D007E), named);
  EXPECT_EQ(explain(Ostravel::RegistrationResult::EntryPointCrashed, 0xC0000005),
            std::vector<std::wstring>{});
  EXPECT_EQ(explain(Ostravel::RegistrationResult::Registered, 0), std::vector<std::wstring>{});
}

// Mutations of real images: bytes changed in the headers and tables, bytes
// changed anywhere, and cuts at any length, for the server and for a DLL it
// imports. A fixed seed makes a failure repeatable.
TEST(DependencyWalk, MutatedFilesEachEndWithAnAnswer) {
  const test_files::TempFolder dir;
  const std::wstring server = dir.File(L"dep.dll");
  const std::wstring helper = dir.File(L"fixture_helper.dll");
  const std::vector<std::vector<std::uint8_t>> originals{
      ReadAll(Fixture(L"beside\\needs_helper.dll")),
      ReadAll(Fixture(L"beside\\fixture_helper.dll")), ReadAll(Fixture(L"gone\\gone_server.dll")),
      ReadAll(Fixture(L"delay_server.dll")), ReadAll(Fixture(L"sxs_server.dll"))};
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
        case 2: bytes.resize(random() % bytes.size()); break;
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
    std::fputs("DependencyWalk.MutatedFilesEachEndWithAnAnswer: a walk did not end within 60 s\n",
               stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  EXPECT_GT(run.get(), 0)
      << "no mutation kept an image: the mutations test nothing past the headers";
}

}  // namespace
