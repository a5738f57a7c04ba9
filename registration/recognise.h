#pragma once
// What a capture registers where it follows COM's layout below a classes key
// (HKEY_CLASSES_ROOT, or Software\Classes of the user or the machine):
// classes, ProgIDs, type libraries and interfaces.
#include <string>
#include <utility>
#include <vector>

#include "registry_capture.h"

namespace Ostravel {

// One COM registration found in a capture: its kind, where, its identifier (a
// CLSID, ProgID, LIBID or IID), and the values below it, each labelled with the
// name regedit shows for it (the value's name, or the key's for a default value).
struct Registered {
  enum class Kind { Class, ProgId, TypeLib, Interface } kind;
  RegistryRoot root;
  std::wstring id;
  std::vector<std::pair<std::wstring, CapturedValue>> facts;
};

std::vector<Registered> Recognise(const Capture& capture);

}  // namespace Ostravel
