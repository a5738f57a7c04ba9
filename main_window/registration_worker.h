#pragma once
// Runs one registration call on a thread of its own, so that the window keeps
// answering while a server's entry point runs, and posts a message to the
// window once the call has returned. One call at a time; a worker destroyed in
// mid-call waits for it, which the call's own time limit bounds.
#include <exception>
#include <string>
#include <thread>

#include <windows.h>

#include "ostravel.h"

class RegistrationWorker {
 public:
  // Starts the call; `message` reaches `window` when it has returned.
  void Start(HWND window, UINT message, std::wstring path, Ostravel::RegistrationMode mode);
  bool Running() const { return thread_.joinable(); }
  Ostravel::RegistrationMode Mode() const { return mode_; }
  // Once the message has come: the call's outcome, or what it threw, thrown again.
  Ostravel::RegistrationOutcome Finish();

 private:
  Ostravel::RegistrationMode mode_ = Ostravel::RegistrationMode::Register;
  Ostravel::RegistrationOutcome outcome_;
  std::exception_ptr failure_;
  // Last, so that it is joined before the results it writes go away.
  std::jthread thread_;
};
