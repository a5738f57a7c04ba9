#pragma once
// What a server wrote to the registry, as plain data: every key that carries
// values or has nothing below it, under the predefined root the server named.
// Reading a tree never changes it.
#include <string>
#include <vector>

#include <windows.h>

#include "owned_handle.h"

namespace Ostravel {

using toolkit::OwnedKey;

// Null when the key is missing or cannot be opened (or made) with that access.
OwnedKey OpenKey(HKEY parent, const std::wstring& path, REGSAM access);
OwnedKey CreateKey(HKEY parent, const std::wstring& path);  // non-volatile, full access

// Every predefined root a program can write to.
enum class RegistryRoot { ClassesRoot, LocalMachine, CurrentUser, Users, CurrentConfig };

// "HKEY_CLASSES_ROOT" and so on, as regedit names them.
const wchar_t* RootName(RegistryRoot root);

struct CapturedValue {
  std::wstring name;  // empty for the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  bool operator==(const CapturedValue&) const = default;
};

struct CapturedKey {
  RegistryRoot root = RegistryRoot::ClassesRoot;
  std::wstring path;  // below the root, without a leading backslash
  std::vector<CapturedValue> values;

  bool operator==(const CapturedKey&) const = default;
};

using Capture = std::vector<CapturedKey>;

// Appends the tree below `base`, which stands for `root`; `path` names `base`
// below the root and prefixes every key read. Keys that only lead to other keys
// are left out, as their existence follows from those.
void ReadTree(HKEY base, RegistryRoot root, const std::wstring& path, Capture& capture);

}  // namespace Ostravel
