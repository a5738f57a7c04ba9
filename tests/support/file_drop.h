#pragma once
// Drops files on a window the way a user drags them from a Linux file manager
// onto a program running under Wine: through the X server's drag-and-drop
// protocol, which Wine turns into WM_DROPFILES in the window's own process.
// A host helper, xdnd_drop, beside the test program, plays the file manager.
#include <string>
#include <vector>

#include <windows.h>

namespace file_drop {

// True when the test runs under Wine, where the helper can reach the window.
bool Available();

// Drops `paths` on the middle of `window`'s client area and waits, bounded,
// for the exchange to end: "dropped" when the window took the drop, "refused"
// when it would not, otherwise what went wrong.
std::string Drop(HWND window, const std::vector<std::wstring>& paths);

}  // namespace file_drop
