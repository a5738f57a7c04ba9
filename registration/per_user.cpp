#include "per_user.h"

#include "child_channel.h"
#include "registry_keys.h"

namespace Ostravel {

bool RunningElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const toolkit::OwnedHandle owner(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

ServerRun RunForCurrentUser(ServerTask task, const std::wstring& path,
                            std::unique_ptr<ServerChild> ready) {
  const std::wstring name = NewUniqueName();
  if (path.empty() || name.empty()) return {};
  ServerRun run = RunServer({task, RegistrationScope::CurrentUser, path, name}, std::move(ready));
  // The child and all it started have ended: nothing writes there any more.
  if (const OwnedKey parent =
          OpenUnfollowed(HKEY_CURRENT_USER, kPerUserMachineKey, KEY_ENUMERATE_SUB_KEYS)) {
    DeleteTreeUnfollowed(parent.get(), name);
  }
  DeleteIfEmpty(HKEY_CURRENT_USER, kPerUserMachineKey);
  DeleteIfEmpty(HKEY_CURRENT_USER, L"Software\\Corvantis");
  return run;
}

}  // namespace Ostravel
