#pragma once
// The files one command acts on, in order, and how far it has come: one file
// at a time goes to the worker, and the next only once it has ended. A stop
// lets the current file end and runs no other.
#include <cstddef>
#include <string>
#include <vector>

#include "registration_worker.h"

class BatchRun {
 public:
  void Begin(std::vector<std::wstring> files, Ostravel::ServerTask task) {
    files_ = std::move(files);
    task_ = task;
    current_ = 0;
    active_ = !files_.empty();
    stopped_ = false;
  }
  bool Active() const { return active_; }
  bool Several() const { return files_.size() > 1; }
  Ostravel::ServerTask Task() const { return task_; }
  const std::wstring& Current() const { return files_[current_]; }
  // The file after the current one, if any.
  const std::wstring* Next() const {
    return current_ + 1 < files_.size() ? &files_[current_ + 1] : nullptr;
  }
  void Stop() { stopped_ = true; }
  // Over at once, as when a file could not even be started.
  void End() { active_ = false; }
  bool Stopped() const { return stopped_; }
  // On to the next file; false, and over, when none is left or it was stopped.
  bool Advance() {
    if (stopped_ || current_ + 1 >= files_.size()) {
      active_ = false;
      return false;
    }
    ++current_;
    return true;
  }
  // The files after the current one, which a stop leaves unrun.
  std::vector<std::wstring> Rest() const {
    if (current_ >= files_.size()) return {};
    return {files_.begin() + static_cast<std::ptrdiff_t>(current_ + 1), files_.end()};
  }

 private:
  std::vector<std::wstring> files_;
  Ostravel::ServerTask task_ = Ostravel::ServerTask::Register;
  std::size_t current_ = 0;
  bool active_ = false;
  bool stopped_ = false;
};
