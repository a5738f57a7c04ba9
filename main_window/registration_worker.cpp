#include "registration_worker.h"

#include <cstdint>
#include <utility>

void RegistrationWorker::Start(HWND window, UINT message, std::wstring path,
                               Ostravel::RegistrationMode mode) {
  mode_ = mode;
  thread_ = std::jthread([this, window, message, path = std::move(path)] {
    // Nothing may escape a thread's routine; the window reports it instead.
    try {
      outcome_ = Ostravel::CallServerRegistration(path, static_cast<std::int32_t>(mode_));
    } catch (...) {
      failure_ = std::current_exception();
    }
    PostMessageW(window, message, 0, 0);
  });
}

Ostravel::RegistrationOutcome RegistrationWorker::Finish() {
  thread_.join();
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  return outcome_;
}
