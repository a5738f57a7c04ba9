#pragma once
// frmRegister's design in twips: client size and every control, listed in tab
// order, which is also the order they are created in.
#include <array>

#include "control_ids.h"

inline constexpr int kClientWidthTwips = 3900;
inline constexpr int kClientHeightTwips = 1815;

enum class ControlKind { Button, TextBox, Label };

struct ControlDesign {
  ControlId id;
  ControlKind kind;
  const wchar_t* caption;
  int left, top, width, height;  // twips
  bool enabled;
};

inline constexpr std::array<ControlDesign, 8> kControls{{
    {kTxtFile, ControlKind::TextBox, L"", 120, 600, 3735, 350, true},
    {kLblBQ, ControlKind::Label, L"", 75, 1560, 2655, 255, true},
    {kLabelTime, ControlKind::Label, L"", 2640, 1560, 1245, 255, true},
    {kCmdOpen, ControlKind::Button, L"打开文件", 120, 120, 1215, 375, true},
    {kCmdAbout, ControlKind::Button, L"关于我们", 1440, 120, 1215, 375, true},
    {kCmdHelp, ControlKind::Button, L"帮助文件", 2760, 120, 1095, 375, true},
    {kCmdReg0, ControlKind::Button, L"注    册", 120, 1080, 1215, 375, false},
    {kCmdReg1, ControlKind::Button, L"反注册", 2760, 1080, 1095, 375, false},
}};

// Font sizes in hundredths of a point: the window's, and the path box's own.
inline constexpr int kFormFontCentipoints = 825;
inline constexpr int kPathFontCentipoints = 900;
