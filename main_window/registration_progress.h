#pragma once
// What the window shows while a server's entry point runs: a moving bar between
// the registration buttons and a status line, in the rights notice's place,
// naming the entry point and the seconds passed. Both are made the first time
// they are needed, so the window's start pays nothing for them.
#include <string>

#include <windows.h>

#include "form_window.h"

class RegistrationProgress {
 public:
  void Show(HWND form, const FormFonts& fonts, const char* entryPoint);
  // Rewrites the status line; `closing` tells that the window closes once the
  // call returns.
  void Update(bool closing);
  void Hide();

 private:
  HWND form_ = nullptr;
  HWND bar_ = nullptr;
  HWND status_ = nullptr;
  std::wstring entryPoint_;
  ULONGLONG started_ = 0;
};
