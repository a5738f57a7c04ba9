#pragma once
// The window's side of a preview (the child's is preview_child.h): a
// registration that leaves the machine's registry as it was. The server's
// DllRegisterServer runs exactly as a registration runs it (in a child of its
// bitness, with the time limit, the crash guard and the outcomes), but the
// child's predefined registry roots all lead into a private key; what the
// server wrote there is read back and the key deleted. The child and all it
// started have ended before the key is read, so a server still running can
// write nothing anywhere afterwards.
#include <memory>
#include <string>

#include "server_child.h"

namespace Ostravel {

// Blocks for as long as a registration, which `ready` runs if it can; an
// empty path does nothing, as in a registration.
TaskResult PreviewRegistration(const std::wstring& path,
                               std::unique_ptr<ServerChild> ready = nullptr);

// Below HKEY_CURRENT_USER, where the tool may always write: one private key per
// running preview, named as the preview is, and deleted when it ends. Not
// volatile: a server's keys are not, and the system refuses them under a
// volatile key.
inline constexpr wchar_t kPreviewsKey[] = L"Software\\Corvantis\\Preview";

// The mutex that lives exactly as long as the parent of the preview `name`: a
// key whose mutex is gone belongs to a preview that died, and is removed by the
// next preview.
std::wstring PreviewMutexName(const std::wstring& name);

}  // namespace Ostravel
