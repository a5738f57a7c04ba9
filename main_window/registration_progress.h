#pragma once
// What the window shows while a server's entry point runs: a moving bar in the
// preview button's place and a status line in the rights notice's, naming what
// runs and the seconds passed. Both are made the first time they are needed,
// so the window's start pays nothing for them.
#include <string>

#include <windows.h>

#include "form_window.h"

class RegistrationProgress {
 public:
  // `running` names what runs, such as the entry point.
  void Show(HWND form, const FormFonts& fonts, std::wstring running);
  // Rewrites the status line; `closing` tells that the window closes once the
  // call returns.
  void Update(bool closing);
  void Hide();

 private:
  HWND form_ = nullptr;
  HWND bar_ = nullptr;
  HWND status_ = nullptr;
  std::wstring running_;
  ULONGLONG started_ = 0;
};
