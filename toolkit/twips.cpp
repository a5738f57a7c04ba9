#include "twips.h"

#include <cmath>

#include <windows.h>

namespace toolkit {
namespace {

// The screen's device context, released when the caps are read.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

int ScreenCaps(int index) { return GetDeviceCaps(ScreenDC().get(), index); }

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
