#pragma once
// Runs one registration, unregistration or preview on a thread of its own, so
// that the window keeps answering while a server's entry point runs, and posts
// a message to the window once the call has returned. One call at a time; a
// worker destroyed in mid-call waits for it, which the call's own limit bounds.
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include <windows.h>

#include "child_record.h"
#include "ostravel.h"
#include "server_child.h"

// What the user asked for: the task, for whom, and in a child of which rights.
// A task alone is the plain command: as the server writes, with the user's rights.
struct WorkerJob {
  constexpr WorkerJob(
      Ostravel::ServerTask task = Ostravel::ServerTask::Register,
      Ostravel::RegistrationScope scope = Ostravel::RegistrationScope::AsTheServerWrites,
      Ostravel::ChildStart start = Ostravel::ChildStart::AsThisTool)
      : task(task), scope(scope), start(start) {}
  Ostravel::ServerTask task;
  Ostravel::RegistrationScope scope;
  Ostravel::ChildStart start;
};

// What one command does with one file, start to end, on the calling thread:
// the unit that a batch of files is made of, run in `ready` if it runs the
// right program. A registration's capture is empty.
Ostravel::TaskResult RunServerTask(const std::wstring& path, const WorkerJob& job,
                                   std::unique_ptr<Ostravel::ServerChild> ready = nullptr);

class RegistrationWorker {
 public:
  // Starts the call, in `ready` if it runs the right program; `message`
  // reaches `window` when it has returned.
  void Start(HWND window, UINT message, std::wstring path, WorkerJob job,
             std::unique_ptr<Ostravel::ServerChild> ready = nullptr);
  bool Running() const { return thread_.joinable(); }
  // The call has returned and its thread, about to end, is not joined yet:
  // only then can a message of that number be the worker's.
  bool Done() const { return Running() && done_; }
  Ostravel::ServerTask Task() const { return job_.task; }
  const WorkerJob& Job() const { return job_; }
  // Once the message has come: ends the thread, so that the worker is idle
  // again whatever the call's result.
  void Join() { thread_.join(); }
  // After Join: what the call found (a registration's capture is empty), or
  // what it threw, thrown again.
  Ostravel::TaskResult Result();

 private:
  WorkerJob job_;
  Ostravel::TaskResult result_;
  std::exception_ptr failure_;
  std::atomic<bool> done_ = false;
  // Last, so that it is joined before the results it writes go away.
  std::jthread thread_;
};
