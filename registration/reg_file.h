#pragma once
// A capture as a REGEDIT5 .reg file that regedit and `reg import` take back
// to exactly the keys and values listed, in the view the server writes to.
// What the format cannot carry (a name holding CR, LF or NUL, a link) is left
// out, and a comment says so, as it says where the capture was cut and which
// keys could not be read; no name or data ever starts a line of its own.
#include <string>

#include <windows.h>

#include "registry_capture.h"

namespace Ostravel {

// A key or value name the format can carry.
bool RegFileCarries(const std::wstring& name);

// A name as the file's comments and the preview show it, with <CR>, <LF> and
// <NUL> for the characters that would end a comment's line or that the
// dialog's fonts draw as nothing or as a line break.
std::wstring ShownName(const std::wstring& name);

// The whole file: header, each key in brackets with its values, CR LF line ends.
std::wstring RegFileText(const Capture& capture);

// Writes RegFileText as UTF-16 LE with a byte-order mark, as regedit does,
// into a new file beside `path` that then replaces it: an existing file stays
// as it was unless the whole new one was written. ERROR_SUCCESS, or why not.
DWORD WriteRegFile(const std::wstring& path, const Capture& capture);

// The name of the key `path` below `root` as the file and the list give it:
// the root, then the path in the capture's view.
std::wstring KeyName(const Capture& capture, RegistryRoot root, const std::wstring& path);

}  // namespace Ostravel
