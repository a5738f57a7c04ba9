#pragma once
// The names by which frmRegister's window and controls are found: by the
// window itself and by anything that drives it from outside.

inline constexpr wchar_t kFrmRegisterClass[] = L"frmRegister";

enum ControlId : int {
  kPathBox = 100,           // txtFile
  kRightsLabel = 101,       // lblBQ
  kClockLabel = 102,        // labeltime
  kOpenButton = 103,        // cmdOpen
  kAboutButton = 104,       // cmdAbout
  kHelpButton = 105,        // cmdHelp
  kRegisterButton = 106,    // cmdReg(0)
  kUnregisterButton = 107,  // cmdReg(1)
  // Also the command of its item in the window's system menu, which must be a
  // multiple of 16 there.
  kPreviewButton = 112,
  // Commands of the register and unregister buttons' context menu; the first
  // two also in the system menu, so multiples of 16 as well.
  kUserRegisterCommand = 144,
  kUserUnregisterCommand = 160,
  kElevatedRegisterCommand = 176,
  kElevatedUnregisterCommand = 192,
  // Shown only while a server's entry point runs.
  kProgressBar = 108,
  kStatusLabel = 109,
  // Shown while a file is held; also the command of the details' item in the
  // system menu, a multiple of 16 there.
  kRegistryStatusLine = 128,
};

// The window's own messages and timers, in one list so that no two parts of
// the window take the same number.
enum FormMessage : unsigned {
  kWorkerDone = 0x8000 + 1,     // WM_APP + 1: a call has returned
  kTakeArguments = 0x8000 + 2,  // the command line's files, once the window shows
  kStatusRead = 0x8000 + 3,     // the registration status has been read
};
enum FormTimer : unsigned {
  kTimerClock = 1,
  kTimerStatusLimit = 2,  // the registration status's read has run out of time
};
