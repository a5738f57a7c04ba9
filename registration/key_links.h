#pragma once
// Registry keys a server may have written, taken as themselves: a server can
// make any key a link to another key of the user's, and a walk or a deletion
// that follows it would read or delete that key instead.
#include <string>
#include <vector>

#include "registry_capture.h"

namespace Ostravel {

// The key itself, never where it leads; null when it cannot be opened so.
OwnedKey OpenOwnKey(HKEY parent, const std::wstring& name, REGSAM access);
bool IsLink(HKEY key);
std::vector<std::wstring> SubkeyNames(HKEY key);

// Deletes `parent`\`name` and everything below it, key by key; a link is
// deleted, never followed into what it names.
void DeleteOwnTree(HKEY parent, const std::wstring& name);

}  // namespace Ostravel
