#pragma once
// The predefined registry roots a program can write to: the handle a server
// names, the name regedit and a .reg file give it, and the subkey of a
// preview's private key that the root is redirected to while a server runs.
#include <span>

#include <windows.h>

namespace Ostravel {

enum class RegistryRoot { ClassesRoot, LocalMachine, CurrentUser, Users, CurrentConfig };

struct PredefinedRoot {
  RegistryRoot root;
  HKEY handle;
  const wchar_t* name;        // "HKEY_CLASSES_ROOT" and so on
  const wchar_t* redirectTo;  // below the private key
};

std::span<const PredefinedRoot> PredefinedRoots();
const PredefinedRoot& Predefined(RegistryRoot root);

inline const wchar_t* RootName(RegistryRoot root) { return Predefined(root).name; }

}  // namespace Ostravel
