#include "registration_worker.h"

#include <cstdint>
#include <utility>

Ostravel::Preview RunServerTask(const std::wstring& path, WorkerTask task,
                                std::unique_ptr<Ostravel::ServerChild> ready) {
  if (task == WorkerTask::Preview) return Ostravel::PreviewRegistration(path, std::move(ready));
  const auto childTask =
      task == WorkerTask::Register ? Ostravel::ChildTask::Register : Ostravel::ChildTask::Unregister;
  Ostravel::Preview result;
  static_cast<Ostravel::ServerRun&>(result) = Ostravel::RunServer(
      {childTask, Ostravel::RegistrationScope::AsTheServerWrites, path, {}}, std::move(ready));
  return result;
}

void RegistrationWorker::Start(HWND window, UINT message, std::wstring path, WorkerTask task,
                               std::unique_ptr<Ostravel::ServerChild> ready) {
  task_ = task;
  done_ = false;
  thread_ = std::jthread([this, window, message, path = std::move(path),
                          ready = std::move(ready)]() mutable {
    // Nothing may escape a thread's routine; the window reports it instead.
    try {
      result_ = RunServerTask(path, task_, std::move(ready));
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
