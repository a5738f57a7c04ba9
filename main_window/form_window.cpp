#include "form_window.h"

#include <cmath>

#include <commctrl.h>

#include "twips.h"

namespace {

HFONT Tahoma(int centipoints, int dpi) {
  const int height = -static_cast<int>(std::lround(centipoints / 100.0 * dpi / 72.0));
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

}  // namespace

FormFonts::FormFonts()
    : form(Tahoma(kFormFontCentipoints, toolkit::ScreenDpiY())),
      path(Tahoma(kPathFontCentipoints, toolkit::ScreenDpiY())) {}

HWND CreateFormFrame(HINSTANCE instance, const wchar_t* className, void* param) {
  RECT frame{0, 0, toolkit::TwipsToPixels(kClientWidthTwips, toolkit::ScreenDpiX()),
             toolkit::TwipsToPixels(kClientHeightTwips, toolkit::ScreenDpiY())};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  return CreateWindowExW(0, className, kFormCaption, kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                         instance, param);
}

HWND CreateControl(HWND form, const ControlDesign& design, const FormFonts& fonts) {
  const wchar_t* windowClass = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE | SS_NOPREFIX;
  DWORD exStyle = 0;
  HFONT font = fonts.form.get();
  switch (design.kind) {
    case ControlKind::Button:
      windowClass = L"BUTTON";
      style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case ControlKind::TextBox:
      // Read-only: the path comes from the dialog or a drop alone; typing would mislead.
      windowClass = L"EDIT";
      style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY;
      exStyle = WS_EX_CLIENTEDGE;
      font = fonts.path.get();
      break;
    case ControlKind::ProgressBar:
      windowClass = PROGRESS_CLASSW;
      style = WS_CHILD | PBS_MARQUEE;
      break;
    case ControlKind::Label: break;
  }
  if (!design.enabled) style |= WS_DISABLED;
  const int dpiX = toolkit::ScreenDpiX(), dpiY = toolkit::ScreenDpiY();
  HWND control = CreateWindowExW(
      exStyle, windowClass, design.caption, style, toolkit::TwipsToPixels(design.left, dpiX),
      toolkit::TwipsToPixels(design.top, dpiY), toolkit::TwipsToPixels(design.width, dpiX),
      toolkit::TwipsToPixels(design.height, dpiY), form,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(form, GWLP_HINSTANCE)), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}
