#pragma once
// The child's side of registering for the current user only (the window's is
// per_user.h).
#include <string>

#include "child_record.h"
#include "ostravel.h"

namespace Ostravel {

// The call (Register or Unregister) with HKEY_CLASSES_ROOT led into the user's
// classes and HKEY_LOCAL_MACHINE into `name`'s private key below
// kPerUserMachineKey; its outcome, and notes on what was not applied.
ChildReport RegistrationForCurrentUser(const std::wstring& name, const std::wstring& server,
                                       ServerTask task, LoadWatch* watch);

}  // namespace Ostravel
