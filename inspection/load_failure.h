#pragma once
// Why a server did not register, read from the files alone: short lines that
// the report prints under the loader's reason. Each names a cause (a missing
// DLL with the chain that needs it, a missing function, a side-by-side
// assembly, a file of the other bitness, a .NET assembly, an entry point the
// export table lacks); when the files show none, the one line says the cause
// is in what the server's code did. It reads the files without loading them,
// and sees the system as this process does: it belongs in a process of the
// server's bitness.

#include <cstdint>
#include <string>
#include <vector>

#include "dependency_walk.h"
#include "ostravel.h"

namespace Inspection {

// The lines for an outcome that failed; none for a success, for a file of the
// other bitness (the report already names the tool for it), or for a file
// that cannot be read.
std::vector<std::wstring> ExplainLoadFailure(const std::wstring& path, std::int32_t mode,
                                             const Ostravel::RegistrationOutcome& outcome,
                                             const SearchPlaces& places = SearchPlaces::OfThisProcess());

// What is known before the load: the lines above that need no outcome, and
// whether loading the file could still register it. A file that is no image,
// is managed or lacks the entry point would be loaded for nothing.
struct BeforeLoad {
  bool worthLoading = true;
  std::vector<std::wstring> notes;
};
BeforeLoad CheckBeforeLoad(const std::wstring& path, std::int32_t mode,
                           const SearchPlaces& places = SearchPlaces::OfThisProcess());

}  // namespace Inspection
