#pragma once
// What a server file says about its COM classes, read without running any of
// its code: the file is mapped as data, each TYPELIB resource is checked for
// sound structure and then loaded by the system's parser without registering
// anything, and ATL registration scripts are scanned for the classes they
// name. The result is a plain value that can be handed across a process
// boundary as it is.
#include <cstdint>
#include <string>
#include <vector>

namespace inspection {

struct CoClass {
  std::wstring clsid;  // braced, upper case
  std::wstring name;
  bool creatable = true;
};

struct TypeLibrary {
  int resource = 0;  // the TYPELIB resource's number
  std::wstring libid;
  std::uint16_t major = 0, minor = 0;
  std::uint32_t lcid = 0;
  int syskind = 0;  // SYSKIND: SYS_WIN32 or SYS_WIN64 for a server
  std::vector<CoClass> classes;
};

struct ServerTypeInfo {
  // Empty when the file was read; otherwise why it could not be, for the user.
  std::wstring failure;
  std::uint16_t machine = 0;  // IMAGE_FILE_MACHINE_* of the file
  std::vector<TypeLibrary> libraries;
  // Classes the REGISTRY scripts name that no type library lists.
  std::vector<CoClass> scriptClasses;
};

ServerTypeInfo ReadServerTypeInfo(const std::wstring& path);

}  // namespace inspection
