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
#include <optional>
#include <string>
#include <vector>

#include "dependency_walk.h"
#include "ostravel.h"
#include "child_side.h"

namespace inspection {

// The lines for an outcome that failed; none for a success, for a file of the
// other bitness (the report already names the tool for it), or for a file
// that cannot be read.
std::vector<std::wstring> ExplainLoadFailure(
    const std::wstring& path, Ostravel::ServerTask task,
    const Ostravel::RegistrationOutcome& outcome,
    const SearchPlaces& places = SearchPlaces::OfThisProcess());

// The outcome a load would end in, when the file alone shows that loading it
// cannot register it: no image (the loader's ERROR_BAD_EXE_FORMAT), or no
// entry point for the task (a managed assembly has none of its own). Nothing
// when it is worth loading, cannot be read, or is for the other bitness.
std::optional<Ostravel::RegistrationOutcome> OutcomeBeforeLoad(const std::wstring& path,
                                                               Ostravel::ServerTask task);

// The same from a finished walk of the file.
std::vector<std::wstring> ExplainLoadFailure(const Walk& walk, Ostravel::ServerTask task,
                                             const Ostravel::RegistrationOutcome& outcome);
std::optional<Ostravel::RegistrationOutcome> OutcomeBeforeLoad(const Walk& walk,
                                                               Ostravel::ServerTask task);

// What the child of the server's bitness reads before it loads the file: the
// walk is made then, while no code of the server has run that could disturb
// it, and explains the outcome afterwards.
Ostravel::FileInspection InspectBeforeLoad(const std::wstring& path, Ostravel::ServerTask task);

}  // namespace inspection
