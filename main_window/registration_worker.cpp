#include "registration_worker.h"

#include <cstdint>
#include <utility>

#include "load_failure.h"

namespace {

// A file that cannot register is not loaded: its DllMain never runs for
// nothing, and the report explains it as it would a load that failed.
Ostravel::RegistrationOutcome Register(const std::wstring& path, std::int32_t mode) {
  if (auto known = Inspection::OutcomeBeforeLoad(path, mode)) return *known;
  return Ostravel::CallServerRegistration(path, mode);
}

}  // namespace

Ostravel::Preview RunServerTask(const std::wstring& path, WorkerTask task) {
  if (task == WorkerTask::Preview) return Ostravel::PreviewRegistration(path);
  const auto mode = task == WorkerTask::Unregister ? Ostravel::RegistrationMode::Unregister
                                                   : Ostravel::RegistrationMode::Register;
  return {Register(path, static_cast<std::int32_t>(mode)), {}};
}

void RegistrationWorker::Start(HWND window, UINT message, std::wstring path, WorkerTask task) {
  task_ = task;
  done_ = false;
  thread_ = std::jthread([this, window, message, path = std::move(path)] {
    // Nothing may escape a thread's routine; the window reports it instead.
    try {
      result_ = RunServerTask(path, task_);
    } catch (...) {
      failure_ = std::current_exception();
    }
    done_ = true;
    PostMessageW(window, message, 0, 0);
  });
}

Ostravel::Preview RegistrationWorker::Result() {
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  return std::exchange(result_, {});
}
