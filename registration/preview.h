#pragma once
// A registration that leaves the machine's registry as it was. The server's
// DllRegisterServer runs exactly as CallServerRegistration runs it (worker,
// time limit, crash guard, outcomes), but in a child process of this same
// executable whose predefined registry roots all lead into a private key;
// what the server wrote there is read back and the key deleted. The child ends
// as soon as the call returns, or is ended when it overstays, so a server
// still running can write nothing anywhere afterwards.
#include <optional>
#include <string>

#include "ostravel.h"
#include "registry_capture.h"

namespace Ostravel {

struct Preview {
  RegistrationOutcome outcome;
  Capture capture;  // empty unless the server wrote something
  // Not ERROR_SUCCESS: the private key could not all be deleted, for this
  // reason; the next preview tries again.
  LSTATUS cleanup = ERROR_SUCCESS;
};

// Blocks for as long as the registration's time limit and a margin for the
// child's start; an empty path does nothing, as in a registration.
Preview PreviewRegistration(const std::wstring& path);

// Below HKEY_CURRENT_USER, where the tool may always write: one private key per
// running preview, named as the preview is, and deleted when it ends. Not
// volatile: a server's keys are not, and the system refuses them under a
// volatile key.
inline constexpr wchar_t kPreviewsKey[] = L"Software\\Corvantis\\Preview";

// The mutex that lives exactly as long as the parent of the preview `name`: a
// key whose mutex is gone belongs to a preview that died, and is removed by the
// next preview.
std::wstring PreviewMutexName(const std::wstring& name);

// The first thing the executable's entry point calls. In a child started by
// PreviewRegistration it runs the preview and ends the process; it returns a
// code only when that child could not even begin. In any other process it
// returns nothing at once.
std::optional<int> RunPreviewChildIfAsked();

// The switches with which the tool starts copies of itself all begin alike, so
// that the window never takes one of them, or what follows it, for a file.
inline constexpr wchar_t kPrivateSwitchPrefix[] = L"/corvantis-";
inline bool IsPrivateSwitch(const std::wstring& argument) {
  return argument.rfind(kPrivateSwitchPrefix, 0) == 0;
}

}  // namespace Ostravel
