#pragma once
// Which DLLs and functions a server needs that the loader would not find,
// worked out from the files alone. Names are resolved as the loader does for
// a library loaded with LOAD_WITH_ALTERED_SEARCH_PATH: modules already
// found, API sets, the importer's side-by-side assemblies, KnownDLLs, the
// server's folder, the system folder, the Windows folder, then PATH. The
// system folder is that of the process that walks, so the walk belongs in a
// process of the server's bitness. Modules of the system (KnownDLLs, the
// system and Windows folders) are checked for the functions asked of them but
// not walked into: their own needs are the system's.

#include <cstdint>
#include <string>
#include <vector>

#include "image_machine.h"

namespace inspection {

struct SearchPlaces {
  std::wstring systemFolder;
  std::wstring windowsFolder;
  std::vector<std::wstring> path;       // PATH, in order
  std::vector<std::wstring> knownDlls;  // file names, lower case

  // What this process sees.
  static SearchPlaces OfThisProcess();
};

struct WalkLimits {
  std::size_t modules = 256;
  std::size_t depth = 16;
  std::uint64_t fileBytes = 256ull << 20;
};

struct Finding {
  enum class Kind {
    MissingModule,    // `module` was not found
    BrokenModule,     // `module` was found but is no image of the right kind
    WrongBitness,     // `path` is a `module` of the other bitness, skipped
    MissingFunction,  // `module` does not export `function`
    MissingAssembly,  // the side-by-side assembly `module` (`version`) is not installed
    MissingDelayModule,
    MissingDelayFunction,
  };
  Kind kind;
  std::wstring module;
  std::wstring function;  // a name, or "#7" for an ordinal
  std::wstring version;
  std::wstring path;
  // The file names from the server down to the importer that needs it
  // (for an assembly, whose manifest names it).
  std::vector<std::wstring> chain;
};

struct Walk {
  bool readable = false;  // the server could be opened and read
  bool image = false;     // ...and is a PE image
  bool managed = false;
  Ostravel::Machine machine = Ostravel::Machine::None;
  std::vector<std::string> entryPoints;  // DllRegisterServer / DllUnregisterServer, as exported
  std::vector<Finding> findings;
  std::size_t modules = 0;  // modules read
  bool cut = false;         // a limit stopped the walk
  bool Exports(const std::string& entryPoint) const;
};

Walk WalkDependencies(const std::wstring& server, const SearchPlaces& places,
                      const WalkLimits& limits = {});

}  // namespace inspection
