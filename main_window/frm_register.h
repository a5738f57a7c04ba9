#pragma once
// frmRegister: the tool's only window. The user picks a server file, then
// registers or unregisters it and is told the outcome; a clock and a rights
// notice sit at the bottom. Errors raised in a handler are caught at the window
// procedure and shown; they never leave it.
#include <cstdint>
#include <string>

#include <windows.h>

class FrmRegister {
 public:
  FrmRegister() = default;
  FrmRegister(const FrmRegister&) = delete;
  FrmRegister& operator=(const FrmRegister&) = delete;
  ~FrmRegister();

  // Creates, loads and shows the window; false if it could not be created.
  bool Show(HINSTANCE instance, int showCommand);
  HWND Handle() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void OnCommand(int id);
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

  void Form_Load();
  void timerClock_Timer();
  void cmdOpen_Click();
  void cmdReg_Click(std::int16_t index);
  void cmdAbout_Click();
  void cmdHelp_Click();

  HWND hwnd_ = nullptr;
  HFONT formFont_ = nullptr;
  HFONT pathFont_ = nullptr;
  // Built as the design has it; no handler opens it and it is never shown.
  HMENU mnuListOps_ = nullptr;
  std::wstring sFileName;
};
