#pragma once
// The window's side of registering for the current user only, which needs no
// rights (the child's is per_user_child.h). The child leads HKEY_CLASSES_ROOT
// into HKCU\Software\Classes, has type libraries registered per user, and
// leads HKEY_LOCAL_MACHINE into a private key of its own; of what a server
// writes there, its classes are copied into the user's and every other
// machine-wide write is named in a note, not applied.
#include <memory>
#include <string>

#include "server_child.h"

namespace Ostravel {

// Below HKEY_CURRENT_USER: one private key per running child, removed when the
// call is over.
inline constexpr wchar_t kPerUserMachineKey[] = L"Software\\Corvantis\\PerUser";

// Runs `task` (Register or Unregister) for the current user in a child of the
// server's bitness, and removes the child's private key once it has ended.
ServerRun RunForCurrentUser(ServerTask task, const std::wstring& path,
                            std::unique_ptr<ServerChild> ready = nullptr);

// Whether this process runs with an administrator's full token: registering
// for the current user from it would write into the administrator's profile.
bool RunningElevated();

}  // namespace Ostravel
