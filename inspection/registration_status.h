#pragma once
// Where the registry says a server's classes and type libraries live, as the
// clients of each bitness find them, against the file the user chose.
// Clients merge the current user's keys over the machine's, per view; an
// in-process server serves only clients of its own bitness, so that view
// decides, and the other view only tells that a copy of the other bitness
// was registered. Files are compared as files (volume and file index), not
// as strings.
#include <string>
#include <vector>

#include "type_info_reader.h"

namespace inspection {

enum class View { Bits32 = 32, Bits64 = 64 };
enum class Scope { AllUsers, ThisUser };

// What one registry entry leads a client to.
enum class Found {
  ThisFile,
  OtherFile,
  Missing,     // a path where no file is
  Unreadable,  // a value of the wrong type or absurd length
};

struct Registration {
  View view = View::Bits32;
  Scope scope = Scope::AllUsers;
  Found found = Found::OtherFile;
  // The file as the entry names it: expanded, unquoted.
  std::wstring file;
  // The entry names no folder: which file a client loads depends on its
  // search path; ThisFile then means one of this file's name.
  bool bySearchPath = false;
};

enum class ItemKind { Class, TypeLibrary };

struct Item {
  ItemKind kind = ItemKind::Class;
  std::wstring id;  // CLSID, or LIBID with its version
  std::wstring name;
  // A class the library marks as not creatable is never looked up by clients.
  bool creatable = true;
  std::vector<Registration> registrations;  // only the entries that exist
};

enum class Verdict {
  ThisFile,
  OtherFile,
  Partial,
  OtherViewOnly,
  NotRegistered,
  NoTypeLibrary,
  Unknown
};

struct RegistrationStatus {
  Verdict verdict = Verdict::Unknown;
  std::wstring reason;     // Unknown: why
  std::wstring otherFile;  // OtherFile: the first other file a client gets
  Found otherFound = Found::OtherFile;
  int registered = 0, total = 0;  // how many of the items lead to this file
  bool thisUserOnly = false;      // the answer rests on the current user's keys
  bool bySearchPath = false;      // and on the client's search path
  View ownView = View::Bits32;
  std::vector<View> views;  // the views this system has
  std::vector<Item> items;
};

// Reads the file and the registry: the whole answer for the window.
RegistrationStatus ReadRegistrationStatus(const std::wstring& path);

// The registry's side for what was read of the file.
RegistrationStatus CheckRegistration(const std::wstring& path, const ServerTypeInfo& info);

// The verdict over items whose registrations are known.
RegistrationStatus Judge(std::vector<Item> items, View ownView, std::vector<View> views);

}  // namespace inspection
