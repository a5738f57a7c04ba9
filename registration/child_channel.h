#pragma once
// What the window and the child that runs a server for it share besides their
// records (child_record.h): how the window names the child's pipe and starts it
// with its private switch, how long a child may live, and the job that ends a
// process and all it started. The window's side is server_child.h, the child's
// side child_side.h.
#include <cstdint>
#include <string>

#include "ostravel.h"
#include "owned_handle.h"

namespace Ostravel {

// The switches with which the tool starts copies of itself all begin alike, so
// that the window never takes one of them, or what follows it, for a file.
inline constexpr wchar_t kPrivateSwitchPrefix[] = L"/corvantis-";
inline bool IsPrivateSwitch(const std::wstring& argument) {
  return argument.rfind(kPrivateSwitchPrefix, 0) == 0;
}

// The child's command line is this switch and the id of its pipe.
inline constexpr wchar_t kChildSwitch[] = L"/corvantis-child";

// What the child has before the server's code is to load: its start, the
// pipe, and for a preview the registry's redirection.
inline constexpr std::uint32_t kChildStartLimitMs = 15000;

// Past this long from its own start, a child ends itself and all it started,
// whether or not the window can still end it: a window of a standard user may
// hold an elevated child's handle without the right to end it.
inline constexpr std::uint32_t kChildSelfLimitMs =
    kChildStartLimitMs + kRegistrationTimeLimitMs + 5000;

// A fresh GUID's text, unguessable: the name of a child's pipe or of a run's
// private key. Empty if the system gives none.
std::wstring NewUniqueName();

// Unguessable, so that no other program can take the child's place on it.
std::wstring PipeName(const std::wstring& id);

// A job that ends every process in it once its last handle closes; null if
// the system refuses one.
toolkit::OwnedHandle NewKillOnCloseJob();

}  // namespace Ostravel
