#pragma once
// Twips (1/1440 inch) and the screen's pixels. The window's layout and the font
// dialog's sizes are given in twips; the screen's real DPI turns them into pixels.

namespace toolkit {

inline constexpr int kTwipsPerInch = 1440;

// The screen's dots per inch, horizontally and vertically (96 at the standard setting).
int ScreenDpiX();
int ScreenDpiY();

// The width and height of one screen pixel in twips (15 at 96 DPI).
double TwipsPerPixelX();
double TwipsPerPixelY();

// The whole screen in twips.
double ScreenWidthTwips();
double ScreenHeightTwips();

// twips × DPI / 1440, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

}  // namespace toolkit
