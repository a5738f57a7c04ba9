#include "registration_worker.h"

#include <cstdint>
#include <utility>

void RegistrationWorker::Start(HWND window, UINT message, std::wstring path, WorkerTask task,
                               std::unique_ptr<Ostravel::ServerChild> ready) {
  task_ = task;
  done_ = false;
  thread_ = std::jthread([this, window, message, path = std::move(path),
                          ready = std::move(ready)]() mutable {
    // Nothing may escape a thread's routine; the window reports it instead.
    try {
      if (task_ == WorkerTask::Preview) {
        result_ = Ostravel::PreviewRegistration(path, std::move(ready));
      } else {
        const auto task = task_ == WorkerTask::Register ? Ostravel::ChildTask::Register
                                                        : Ostravel::ChildTask::Unregister;
        result_ = {Ostravel::RunServer(
                       {task, Ostravel::RegistrationScope::AsTheServerWrites, path, {}},
                       std::move(ready)),
                   {}};
      }
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
