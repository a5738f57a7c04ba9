#pragma once
// The names by which frmRegister's window and controls are found: by the
// window itself and by anything that drives it from outside.

inline constexpr wchar_t kFrmRegisterClass[] = L"frmRegister";

enum ControlId : int {
  kTxtFile = 100,
  kLblBQ = 101,
  kLabelTime = 102,
  kCmdOpen = 103,
  kCmdAbout = 104,
  kCmdHelp = 105,
  kCmdReg0 = 106,  // register
  kCmdReg1 = 107,  // unregister
};
