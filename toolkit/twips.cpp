#include "twips.h"

#include <cmath>

#include <windows.h>

namespace toolkit {
namespace {

int ScreenCaps(int index) {
  HDC screen = GetDC(nullptr);
  const int value = GetDeviceCaps(screen, index);
  ReleaseDC(nullptr, screen);
  return value;
}

}  // namespace

int ScreenDpiX() { return ScreenCaps(LOGPIXELSX); }
int ScreenDpiY() { return ScreenCaps(LOGPIXELSY); }

double TwipsPerPixelX() { return static_cast<double>(kTwipsPerInch) / ScreenDpiX(); }
double TwipsPerPixelY() { return static_cast<double>(kTwipsPerInch) / ScreenDpiY(); }

double ScreenWidthTwips() { return GetSystemMetrics(SM_CXSCREEN) * TwipsPerPixelX(); }
double ScreenHeightTwips() { return GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY(); }

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

}  // namespace toolkit
