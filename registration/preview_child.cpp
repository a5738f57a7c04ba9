#include "preview_child.h"

#include <vector>

#include "preview.h"
#include "registry_keys.h"
#include "registry_roots.h"

namespace Ostravel {

RegistrationOutcome RegistrationInPreviewKey(const std::wstring& name, const std::wstring& server,
                                             LoadWatch* watch) {
  const OwnedKey previewKey =
      OpenKey(HKEY_CURRENT_USER, std::wstring(kPreviewsKey) + L"\\" + name, KEY_READ | KEY_WRITE);
  if (!previewKey) return {RegistrationResult::NothingDone};
  bool redirected = true;
  std::vector<OwnedKey> targets;  // open for as long as the roots lead there
  for (const PredefinedRoot& root : PredefinedRoots()) {
    targets.push_back(CreateKey(previewKey.get(), root.redirectTo));
    redirected = redirected && targets.back() &&
                 RegOverridePredefKey(root.handle, targets.back().get()) == ERROR_SUCCESS;
  }
  if (!redirected) return {RegistrationResult::NothingDone};
  RegistrationOutcome outcome =
      CallServerRegistration(server, EngineMode(ServerTask::Preview), watch);
  // The server ran here, so it is built for this process's machine.
  if (outcome.Succeeded()) outcome.machine = kOwnMachine;
  return outcome;
}

}  // namespace Ostravel
