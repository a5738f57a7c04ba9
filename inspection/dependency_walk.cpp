#include "dependency_walk.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include <windows.h>

#include "file_name.h"
#include "owned_handle.h"
#include "pe_image.h"

namespace inspection {
namespace {

// A forwarder chain longer than this is a cycle.
constexpr int kMaxForwards = 16;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// What the images read may hold together before the walk stops reading more.
constexpr std::size_t kMaxHeld = 64 << 20;

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// Names in import tables and manifests are in the system's ANSI code page.
std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  return folder.back() == L'\\' || folder.back() == L'/' ? folder + name : folder + L'\\' + name;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The name the loader looks for: a name without an extension gets ".dll".
std::wstring LoaderFileName(const std::wstring& name) {
  std::wstring wide = Lower(name);
  if (wide.find(L'.') == std::wstring::npos) wide += L".dll";
  return wide;
}

bool IsApiSet(const std::wstring& lowerName) {
  return lowerName.rfind(L"api-ms-", 0) == 0 || lowerName.rfind(L"ext-ms-", 0) == 0;
}

// A side-by-side assembly a manifest depends on.
struct Assembly {
  std::wstring name, version, architecture;
  std::wstring folder;  // where it is installed; empty when it is not
};

std::string Attribute(const std::string& tag, const std::string& name) {
  for (std::size_t at = tag.find(name + "="); at != std::string::npos;
       at = tag.find(name + "=", at + 1)) {
    if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1]))) continue;
    const std::size_t quote = at + name.size() + 1;
    if (quote >= tag.size() || (tag[quote] != '"' && tag[quote] != '\'')) continue;
    const std::size_t end = tag.find(tag[quote], quote + 1);
    if (end == std::string::npos) return {};
    return tag.substr(quote + 1, end - quote - 1);
  }
  return {};
}

std::vector<Assembly> DependentAssemblies(std::string manifest) {
  // A UTF-16 manifest: its ASCII markup is all that matters here.
  if (manifest.size() >= 2 && static_cast<unsigned char>(manifest[0]) == 0xFF &&
      static_cast<unsigned char>(manifest[1]) == 0xFE) {
    std::erase(manifest, '\0');
  }
  std::vector<Assembly> assemblies;
  std::size_t lastIdentity = 0;
  for (std::size_t at = manifest.find("dependentAssembly"); at != std::string::npos;
       at = manifest.find("dependentAssembly", at + 1)) {
    const std::size_t identity = manifest.find("assemblyIdentity", at);
    if (identity == std::string::npos) break;
    if (identity <= lastIdentity) continue;
    lastIdentity = identity;
    const std::size_t end = manifest.find('>', identity);
    const std::string tag =
        manifest.substr(identity, end == std::string::npos ? end : end - identity);
    const std::string name = Attribute(tag, "name");
    if (name.empty()) continue;
    assemblies.push_back({Widen(name),
                          Widen(Attribute(tag, "version")),
                          Lower(Widen(Attribute(tag, "processorArchitecture"))),
                          {}});
  }
  return assemblies;
}

// "1.2.3.4" as numbers, for comparing versions.
std::vector<unsigned long> VersionNumbers(const std::wstring& version) {
  std::vector<unsigned long> numbers;
  std::size_t at = 0;
  while (at <= version.size() && numbers.size() < 4) {
    numbers.push_back(std::wcstoul(version.c_str() + at, nullptr, 10));
    const std::size_t dot = version.find(L'.', at);
    if (dot == std::wstring::npos) break;
    at = dot + 1;
  }
  numbers.resize(4, 0);
  return numbers;
}

const wchar_t* ArchitectureName(Ostravel::Machine machine) {
  return machine == Ostravel::Machine::X64 ? L"amd64" : L"x86";
}

struct Module {
  std::wstring name;  // the file name, as shown in chains
  std::wstring path;
  std::optional<PeImage> image;  // none for an API set or a file too large to read
  bool system = false;           // found where the system keeps its own
  bool walked = false;
  std::size_t parent = kNone;
  std::size_t depth = 0;
  std::optional<std::vector<Assembly>> assemblies;  // read on first need
};

enum class Found { Yes, No, Unknown };

class Walker {
 public:
  Walker(const SearchPlaces& places, const WalkLimits& limits, Walk& walk)
      : places_(places), limits_(limits), walk_(walk) {}

  void Run(const std::wstring& server) {
    MappedFile file(server, limits_.fileBytes);
    walk_.readable = file.Opened() && !file.TooLarge();
    if (!walk_.readable) return;
    auto image = ParsePeImage(file.Bytes());
    if (!image) return;
    walk_.image = true;
    walk_.managed = image->managed;
    walk_.machine = machine_ = image->machine;
    for (const char* entry : {"DllRegisterServer", "DllUnregisterServer"}) {
      if (image->exports.byName.contains(entry)) walk_.entryPoints.push_back(entry);
    }
    // The loader searches the folder of the file's full path.
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(server.c_str(), MAX_PATH, full, nullptr);
    const std::wstring absolute = length && length < MAX_PATH ? std::wstring(full, length) : server;
    serverFolder_ = toolkit::FolderOf(absolute);
    held_ = image->held;
    Module root;
    root.name = toolkit::FileNameOf(server);
    root.path = server;
    root.image = std::move(image);
    byName_.emplace(Lower(root.name), 0);  // a DLL that imports the server gets the one loaded
    modules_.push_back(std::make_unique<Module>(std::move(root)));
    ++walk_.modules;
    queue_.push_back(0);
    while (!queue_.empty()) {
      const std::size_t index = queue_.front();
      queue_.pop_front();
      WalkInto(index);
    }
    CheckDelayImports();
  }

 private:
  void WalkInto(std::size_t index) {
    Module& module = *modules_[index];
    if (module.walked) return;
    module.walked = true;
    if (module.depth >= limits_.depth) {
      walk_.cut = true;
      return;
    }
    for (const ImportedModule& import : module.image->imports) {
      const std::wstring wanted = LoaderFileName(Widen(import.name));
      const std::size_t found = Resolve(wanted, index);
      if (found == kNone) {
        Missing(Finding::Kind::MissingModule, Widen(import.name), index);
        continue;
      }
      if (!modules_[found]->system && !modules_[found]->walked && modules_[found]->image) {
        queue_.push_back(found);
      }
      for (const ImportedFunction& function : import.functions) {
        if (Has(found, function, 0) == Found::No) {
          MissingFunction(Finding::Kind::MissingFunction, found, function, index);
        }
      }
    }
  }

  // Delay-loaded DLLs of the server and of its own modules, for a failure
  // that a delay load raised.
  void CheckDelayImports() {
    const std::size_t count = modules_.size();
    for (std::size_t index = 0; index < count; ++index) {
      if (modules_[index]->system || !modules_[index]->walked || !modules_[index]->image) continue;
      for (const ImportedModule& import : modules_[index]->image->delayImports) {
        const std::size_t found = Resolve(LoaderFileName(Widen(import.name)), index);
        if (found == kNone) {
          Missing(Finding::Kind::MissingDelayModule, Widen(import.name), index);
          continue;
        }
        for (const ImportedFunction& function : import.functions) {
          if (Has(found, function, 0) == Found::No) {
            MissingFunction(Finding::Kind::MissingDelayFunction, found, function, index);
          }
        }
      }
    }
  }

  std::vector<std::wstring> Chain(std::size_t index) const {
    std::vector<std::wstring> chain;
    for (std::size_t at = index; at != kNone && chain.size() <= limits_.depth + 1;
         at = modules_[at]->parent) {
      chain.insert(chain.begin(), modules_[at]->name);
    }
    return chain;
  }

  void Missing(Finding::Kind kind, const std::wstring& name, std::size_t importer) {
    if (!reported_.insert(std::to_wstring(static_cast<int>(kind)) + L"|" + Lower(name)).second)
      return;
    walk_.findings.push_back({kind, name, {}, {}, {}, Chain(importer)});
    // Files of the other bitness passed over on the way are why it is missing.
    const auto skipped = skipped_.find(LoaderFileName(name));
    if (skipped == skipped_.end()) return;
    for (const std::wstring& path : skipped->second) {
      const std::wstring file(toolkit::FileNameOf(path));
      walk_.findings.push_back({Finding::Kind::WrongBitness, file, {}, {}, path, Chain(importer)});
    }
  }

  void MissingFunction(Finding::Kind kind, std::size_t module, const ImportedFunction& function,
                       std::size_t importer) {
    const std::wstring text =
        function.name.empty() ? L"#" + std::to_wstring(function.ordinal) : Widen(function.name);
    if (!reported_
             .insert(modules_[module]->name + L"|" + text + L"|" +
                     std::to_wstring(static_cast<int>(kind)))
             .second) {
      return;
    }
    walk_.findings.push_back({kind, modules_[module]->name, text, {}, {}, Chain(importer)});
  }

  // Whether the module exports the function, forwarders followed. Unknown
  // where the module cannot be read, or is the system's and has no export
  // table worth the name (a stub standing for a DLL the system provides).
  Found Has(std::size_t index, const ImportedFunction& function, int forwards) {
    const Module& module = *modules_[index];
    if (!module.image) return Found::Unknown;
    const Exports& exports = module.image->exports;
    if (module.system && exports.present.empty()) return Found::Unknown;
    std::uint32_t slot = 0;
    if (function.name.empty()) {
      if (function.ordinal < exports.base) return Found::No;
      slot = function.ordinal - exports.base;
    } else {
      const auto named = exports.byName.find(function.name);
      if (named == exports.byName.end()) return Found::No;
      slot = named->second;
    }
    if (slot >= exports.present.size() || !exports.present[slot]) return Found::No;
    const auto forwarder = exports.forwarders.find(slot);
    if (forwarder == exports.forwarders.end()) return Found::Yes;
    if (forwards >= kMaxForwards) return Found::Unknown;
    const std::string& text = forwarder->second;
    const std::size_t dot = text.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) return Found::No;
    const std::size_t target = Resolve(LoaderFileName(Widen(text.substr(0, dot))), index);
    if (target == kNone) return Found::No;
    ImportedFunction next;
    if (text[dot + 1] == '#') {
      next.ordinal = static_cast<std::uint16_t>(std::strtoul(text.c_str() + dot + 2, nullptr, 10));
    } else {
      next.name = text.substr(dot + 1);
    }
    return Has(target, next, forwards + 1);
  }

  std::size_t Add(Module module, std::size_t importer) {
    module.parent = importer;
    module.depth = modules_[importer]->depth + 1;
    modules_.push_back(std::make_unique<Module>(std::move(module)));
    return modules_.size() - 1;
  }

  // The module the loader would take for `name`, needed by `importer`; kNone
  // when there is none. A limit reached gives an unread module, so that
  // nothing is called missing that was never looked for.
  std::size_t Resolve(const std::wstring& name, std::size_t importer) {
    if (const auto known = byName_.find(name); known != byName_.end()) return known->second;
    if (modules_.size() >= limits_.modules || held_ > kMaxHeld) {
      walk_.cut = true;
      Module unread;
      unread.name = name;
      unread.system = true;
      return Add(std::move(unread), importer);
    }
    const std::size_t index = Find(name, importer);
    byName_.emplace(name, index);  // a name not found is not looked for again
    return index;
  }

  std::size_t Find(const std::wstring& name, std::size_t importer) {
    if (IsApiSet(name)) {
      Module set;
      set.name = name;
      set.system = true;
      return Add(std::move(set), importer);
    }
    for (const Assembly& assembly : Assemblies(importer)) {
      if (assembly.folder.empty()) continue;
      const std::wstring path = Join(assembly.folder, name);
      if (IsFile(path)) return Read(path, importer, true);
    }
    if (std::find(places_.knownDlls.begin(), places_.knownDlls.end(), name) !=
        places_.knownDlls.end()) {
      const std::wstring path = Join(places_.systemFolder, name);
      if (IsFile(path)) return Read(path, importer, true);
    }
    struct Place {
      const std::wstring& folder;
      bool system;
    };
    std::vector<Place> order{
        {serverFolder_, false}, {places_.systemFolder, true}, {places_.windowsFolder, true}};
    for (const std::wstring& folder : places_.path) order.push_back({folder, false});
    for (const Place& place : order) {
      if (place.folder.empty()) continue;
      const std::wstring path = Join(place.folder, name);
      if (!IsFile(path)) continue;
      const std::size_t index = Read(path, importer, place.system);
      if (index != kNone) return index;
    }
    return kNone;
  }

  // The file at `path`, as the loader would take it: one of the other
  // bitness is passed over and named; one that is no image stops the search
  // as it stops the loader.
  std::size_t Read(const std::wstring& path, std::size_t importer, bool system) {
    Module module;
    module.name = toolkit::FileNameOf(path);
    module.path = path;
    module.system = system;
    {
      MappedFile file(path, limits_.fileBytes);
      if (file.TooLarge()) {
        module.system = true;  // unread: nothing to check in it
        return Add(std::move(module), importer);
      }
      module.image = ParsePeImage(file.Bytes());
    }
    ++walk_.modules;
    held_ += module.image ? module.image->held : 0;
    if (!module.image) {
      walk_.findings.push_back(
          {Finding::Kind::BrokenModule, module.name, {}, {}, path, Chain(importer)});
      module.system = true;
      return Add(std::move(module), importer);
    }
    if (module.image->machine != machine_) {
      skipped_[Lower(module.name)].push_back(path);
      return kNone;
    }
    return Add(std::move(module), importer);
  }

  const std::vector<Assembly>& Assemblies(std::size_t index) {
    Module& module = *modules_[index];
    if (!module.assemblies) {
      module.assemblies.emplace();
      if (module.image && !module.image->manifest.empty()) {
        for (Assembly assembly : DependentAssemblies(module.image->manifest)) {
          assembly.folder = InstalledFolder(assembly);
          if (assembly.folder.empty()) {
            Finding missing{Finding::Kind::MissingAssembly,
                            assembly.name,
                            {},
                            assembly.version,
                            {},
                            Chain(index)};
            if (reported_.insert(L"assembly|" + Lower(assembly.name) + L"|" + assembly.version)
                    .second) {
              walk_.findings.push_back(std::move(missing));
            }
          }
          module.assemblies->push_back(std::move(assembly));
        }
      }
    }
    return *module.assemblies;
  }

  // The WinSxS folder holding the assembly, at its version or a later one
  // (which a publisher policy would redirect to); empty when none does.
  std::wstring InstalledFolder(const Assembly& assembly) {
    const std::wstring sxs = Join(places_.windowsFolder, L"WinSxS");
    if (!sxsFolders_) {
      sxsFolders_.emplace();
      WIN32_FIND_DATAW data;
      const toolkit::OwnedFind search =
          toolkit::OwnFind(FindFirstFileW(Join(sxs, L"*").c_str(), &data));
      if (search) {
        do {
          if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            sxsFolders_->push_back(data.cFileName);
        } while (FindNextFileW(search.get(), &data) && sxsFolders_->size() < 100000);
      }
    }
    const std::wstring architecture = assembly.architecture.empty() || assembly.architecture == L"*"
                                          ? ArchitectureName(machine_)
                                          : assembly.architecture;
    const std::wstring prefix = architecture + L"_" + Lower(assembly.name) + L"_";
    const auto wanted = VersionNumbers(assembly.version);
    for (const std::wstring& folder : *sxsFolders_) {
      const std::wstring lower = Lower(folder);
      if (lower.rfind(prefix, 0) != 0) continue;
      // arch_name_token_version_...
      const std::size_t token = lower.find(L'_', prefix.size());
      if (token == std::wstring::npos) continue;
      const std::size_t versionEnd = lower.find(L'_', token + 1);
      const auto version = VersionNumbers(lower.substr(token + 1, versionEnd - token - 1));
      if (version >= wanted) return Join(sxs, folder);
    }
    return {};
  }

  const SearchPlaces& places_;
  const WalkLimits& limits_;
  Walk& walk_;
  Ostravel::Machine machine_ = Ostravel::Machine::None;
  std::wstring serverFolder_;
  std::vector<std::unique_ptr<Module>> modules_;
  std::unordered_map<std::wstring, std::size_t> byName_;
  std::unordered_set<std::wstring> reported_;
  std::deque<std::size_t> queue_;
  std::size_t held_ = 0;
  std::optional<std::vector<std::wstring>> sxsFolders_;
  // Per file name: the candidates of the other bitness that were passed over.
  std::unordered_map<std::wstring, std::vector<std::wstring>> skipped_;
};

std::wstring EnvironmentPath() {
  const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(L"PATH", value.data(), size));
  return value;
}

std::wstring Folder(UINT(WINAPI* get)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH] = L"";
  const UINT length = get(folder, MAX_PATH);
  return length && length < MAX_PATH ? folder : L"";
}

}  // namespace

bool Walk::Exports(const std::string& entryPoint) const {
  return std::find(entryPoints.begin(), entryPoints.end(), entryPoint) != entryPoints.end();
}

SearchPlaces SearchPlaces::OfThisProcess() {
  SearchPlaces places;
  // A 32-bit process on 64-bit Windows reads this name through the file
  // system's redirection, so it sees the folder of its own bitness.
  places.systemFolder = Folder(GetSystemDirectoryW);
  places.windowsFolder = Folder(GetWindowsDirectoryW);
  const std::wstring path = EnvironmentPath();
  for (std::size_t at = 0; at < path.size();) {
    std::size_t end = path.find(L';', at);
    if (end == std::wstring::npos) end = path.size();
    std::wstring folder = path.substr(at, end - at);
    std::erase(folder, L'"');
    if (!folder.empty()) places.path.push_back(std::move(folder));
    at = end + 1;
  }
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", 0,
                    KEY_QUERY_VALUE, &raw) == ERROR_SUCCESS) {
    const toolkit::OwnedKey key(raw);
    for (DWORD i = 0; i < 1024; ++i) {
      wchar_t name[256];
      DWORD nameLength = 256;
      wchar_t data[MAX_PATH];
      DWORD dataSize = sizeof data - sizeof(wchar_t);
      DWORD type = 0;
      const LSTATUS status = RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type,
                                           reinterpret_cast<BYTE*>(data), &dataSize);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS || type != REG_SZ) continue;
      data[dataSize / sizeof(wchar_t)] = L'\0';
      places.knownDlls.push_back(Lower(data));
    }
  }
  return places;
}

Walk WalkDependencies(const std::wstring& server, const SearchPlaces& places,
                      const WalkLimits& limits) {
  Walk walk;
  Walker(places, limits, walk).Run(server);
  return walk;
}

}  // namespace inspection
