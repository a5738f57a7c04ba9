#pragma once
// frmRegister's design in twips: client size and every control, listed in tab
// order, which is also the order they are created in.
#include <array>

#include <windows.h>

#include "control_ids.h"

inline constexpr int kClientWidthTwips = 3900;
inline constexpr int kClientHeightTwips = 1815;
inline constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr wchar_t kFormCaption[] = L"OCX、DLL文件注册器";

enum class ControlKind { Button, TextBox, Label, ProgressBar };

struct ControlDesign {
  ControlId id;
  ControlKind kind;
  const wchar_t* caption;
  int left, top, width, height;  // twips
  bool enabled;
};

inline constexpr std::array<ControlDesign, 9> kControls{{
    {kPathBox, ControlKind::TextBox, L"", 120, 600, 3735, 350, true},
    {kRightsLabel, ControlKind::Label, L"", 75, 1560, 2655, 255, true},
    {kClockLabel, ControlKind::Label, L"", 2640, 1560, 1245, 255, true},
    {kOpenButton, ControlKind::Button, L"打开文件", 120, 120, 1215, 375, true},
    {kAboutButton, ControlKind::Button, L"关于我们", 1440, 120, 1215, 375, true},
    {kHelpButton, ControlKind::Button, L"帮助文件", 2760, 120, 1095, 375, true},
    {kRegisterButton, ControlKind::Button, L"注    册", 120, 1080, 1215, 375, false},
    {kUnregisterButton, ControlKind::Button, L"反注册", 2760, 1080, 1095, 375, false},
    {kPreviewButton, ControlKind::Button, L"预览注册", 1440, 1080, 1215, 375, false},
}};

// Made when a call first runs: the bar in the preview button's place and the
// status line in the rights notice's, each hiding what it covers meanwhile;
// the line stops where the clock begins, so that it never paints over it.
inline constexpr ControlDesign kProgressBarDesign{
    kProgressBar, ControlKind::ProgressBar, L"", 1440, 1140, 1215, 255, true};
inline constexpr ControlDesign kStatusLabelDesign{
    kStatusLabel, ControlKind::Label, L"", 75, 1560, 2565, 255, true};

// Made when a file is first held: the registration status in the rights
// notice's place, up to where the clock begins, as the status line has it.
inline constexpr ControlDesign kRegistryStatusDesign{
    kRegistryStatusLine, ControlKind::Label, L"", 75, 1560, 2565, 255, true};

// Font sizes in hundredths of a point: the window's, and the path box's own.
inline constexpr int kFormFontCentipoints = 825;
inline constexpr int kPathFontCentipoints = 900;
