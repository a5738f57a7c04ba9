#include "registration_worker.h"

#include "per_user.h"
#include "preview.h"

#include <cstdint>
#include <utility>

Ostravel::TaskResult RunServerTask(const std::wstring& path, const WorkerJob& job,
                                   std::unique_ptr<Ostravel::ServerChild> ready) {
  if (job.task == Ostravel::ServerTask::Preview) {
    return Ostravel::PreviewRegistration(path, std::move(ready));
  }
  Ostravel::TaskResult result;
  static_cast<Ostravel::ServerRun&>(result) =
      job.scope == Ostravel::RegistrationScope::CurrentUser
          ? Ostravel::RunForCurrentUser(job.task, path, std::move(ready))
          : Ostravel::RunServer({job.task, job.scope, path, {}}, std::move(ready), job.start);
  return result;
}

void RegistrationWorker::Start(HWND window, UINT message, std::wstring path, WorkerJob job,
                               std::unique_ptr<Ostravel::ServerChild> ready) {
  job_ = job;
  done_ = false;
  thread_ = std::jthread(
      [this, window, message, path = std::move(path), ready = std::move(ready)]() mutable {
        // Nothing may escape a thread's routine; the window reports it instead.
        try {
          result_ = RunServerTask(path, job_, std::move(ready));
        } catch (...) {
          failure_ = std::current_exception();
        }
        done_ = true;
        PostMessageW(window, message, 0, 0);
      });
}

Ostravel::TaskResult RegistrationWorker::Result() {
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  return std::exchange(result_, {});
}
