#pragma once
// frmRegister's window as its design draws it: the frame at the designed client
// size, its two Tahoma fonts and its controls. The window and the start-up
// benchmark's reference program both build it through these, so that both
// build the very same window.
#include <windows.h>

#include "layout.h"
#include "owned_handle.h"

// The window's font and the path box's own, at the screen's DPI.
struct FormFonts {
  FormFonts();
  toolkit::OwnedGdiObject<HFONT> form;
  toolkit::OwnedGdiObject<HFONT> path;
};

// The top-level window of class `className`, sized so that its client area is
// the designed one; `param` reaches WM_NCCREATE. Null if it was not created.
HWND CreateFormFrame(HINSTANCE instance, const wchar_t* className, void* param);

// One control of `form` as `design` places it, in the font its kind uses.
HWND CreateControl(HWND form, const ControlDesign& design, const FormFonts& fonts);
