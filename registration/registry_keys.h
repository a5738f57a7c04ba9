#pragma once
// Registry keys held open, and the ways of opening and deleting them that a
// server's tree needs: a registry link (REG_OPTION_CREATE_LINK) is opened as
// itself and deleted as itself, never followed to the key it names.
#include <string>

#include <windows.h>

#include "owned_handle.h"

namespace Ostravel {

using toolkit::OwnedKey;

// Null when the key is missing or cannot be opened (or made) with that access.
// Both follow links: for the tool's own keys and the tests'.
OwnedKey OpenKey(HKEY parent, const std::wstring& path, REGSAM access);
OwnedKey CreateKey(HKEY parent, const std::wstring& path);  // non-volatile, full access

// The value that holds a link's target, as the registry's own name of a key.
inline constexpr wchar_t kSymbolicLinkValue[] = L"SymbolicLinkValue";

// Opens `path` one name at a time, each as itself: a link on the way is never
// followed, so whatever lies below a link is never reached. `error` gets why
// it failed.
OwnedKey OpenUnfollowed(HKEY parent, const std::wstring& path, REGSAM access,
                        LSTATUS* error = nullptr);

// The registry's own name of an open key, `\REGISTRY\USER\S-...\Software\...`,
// as a link names its target; empty if the system does not say.
std::wstring RegistryName(HKEY key);

// Deletes the key `name` below `parent` and all below it without following a
// link (a link is deleted, its target left alone). A key whose access list
// keeps the tool out is first opened to it, as its owner may. A missing key
// counts as deleted; otherwise the first error met, with as much deleted as
// could be.
LSTATUS DeleteTreeUnfollowed(HKEY parent, const std::wstring& name);

// Deletes the key `name` below `parent` only if nothing is left below it.
LSTATUS DeleteIfEmpty(HKEY parent, const std::wstring& name);

}  // namespace Ostravel
