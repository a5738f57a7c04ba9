#pragma once
// The child's side of a preview (the window's is preview.h).
#include <string>

#include "ostravel.h"

namespace Ostravel {

// Every predefined root into the preview `name`'s private key below
// kPreviewsKey, then the registration. A server is never run against a real
// root.
RegistrationOutcome RegistrationInPreviewKey(const std::wstring& name, const std::wstring& server,
                                             LoadWatch* watch);

}  // namespace Ostravel
