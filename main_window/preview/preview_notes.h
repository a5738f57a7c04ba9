#pragma once
// What the preview's dialog says about a capture beside its list, one line a
// finding: the registry view, links and where they lead, keys that could not
// be read, where the capture was cut, names a .reg file cannot carry, a
// private key left behind, and the writes no preview can see.
#include <string>

#include "preview.h"

std::wstring PreviewNotes(const Ostravel::TaskResult& preview);

// The line on a private key that could not all be deleted, for `cleanup`, the
// error: said with the dialog, or with the message of a preview that failed.
std::wstring CleanupNote(LSTATUS cleanup);
