#pragma once
// What the tests of the tool's list dialogs do as a user would: type Ctrl+C,
// read what reached the clipboard, and wait for the dialog a button opens.
#include <string>

#include <windows.h>

namespace list_dialog_driver {

// Ctrl+C as typed, through the system's input path to the focused control.
void TypeCtrlC();

// The clipboard's text, or empty.
std::wstring ClipboardText();
void EmptyClipboardText();

// Another dialog of this process than `besides`, once it shows; null after 20 s.
HWND WaitForOtherDialog(HWND besides);

}  // namespace list_dialog_driver
