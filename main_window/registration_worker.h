#pragma once
// Runs one registration, unregistration or preview on a thread of its own, so
// that the window keeps answering while a server's entry point runs, and posts
// a message to the window once the call has returned. One call at a time; a
// worker destroyed in mid-call waits for it, which the call's own limit bounds.
#include <exception>
#include <string>
#include <thread>

#include <windows.h>

#include "ostravel.h"
#include "preview.h"

enum class WorkerTask { Register, Unregister, Preview };

class RegistrationWorker {
 public:
  // Starts the call; `message` reaches `window` when it has returned.
  void Start(HWND window, UINT message, std::wstring path, WorkerTask task);
  bool Running() const { return thread_.joinable(); }
  WorkerTask Task() const { return task_; }
  // The entry point the task runs: a preview runs DllRegisterServer.
  Ostravel::RegistrationMode Mode() const {
    return task_ == WorkerTask::Unregister ? Ostravel::RegistrationMode::Unregister
                                           : Ostravel::RegistrationMode::Register;
  }
  // Once the message has come: ends the thread, so that the worker is idle
  // again whatever the call's result.
  void Join() { thread_.join(); }
  // After Join: what the call found (a registration's capture is empty), or
  // what it threw, thrown again.
  Ostravel::Preview Result();

 private:
  WorkerTask task_ = WorkerTask::Register;
  Ostravel::Preview result_;
  std::exception_ptr failure_;
  // Last, so that it is joined before the results it writes go away.
  std::jthread thread_;
};
