#include "registration_worker.h"

#include "per_user.h"

#include <cstdint>
#include <utility>

void RegistrationWorker::Start(HWND window, UINT message, std::wstring path, WorkerJob job) {
  job_ = job;
  done_ = false;
  thread_ = std::jthread([this, window, message, path = std::move(path)] {
    // Nothing may escape a thread's routine; the window reports it instead.
    try {
      if (job_.task == WorkerTask::Preview) {
        result_ = Ostravel::PreviewRegistration(path);
      } else {
        const auto task = job_.task == WorkerTask::Register ? Ostravel::ChildTask::Register
                                                            : Ostravel::ChildTask::Unregister;
        result_ = {job_.scope == Ostravel::RegistrationScope::CurrentUser
                       ? Ostravel::RunForCurrentUser(task, path)
                       : Ostravel::RunServer({task, job_.scope, path, {}}, job_.start),
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
