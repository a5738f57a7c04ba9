#pragma once
// Registers or unregisters one COM in-process server by running its own
// DllRegisterServer / DllUnregisterServer on a worker thread, waiting at most
// ten seconds. Every outcome is a result value; nothing is shown or raised.

#include <cstdint>
#include <string>

#include "image_machine.h"

namespace Ostravel {

// What the tool runs a server for, from the window's buttons to the child and
// back to the report. The numbers travel in the records between the window and
// its child (child_record.h) and never change, so that records stay readable;
// Register and Unregister are also the engine's modes 1 and 2.
enum class ServerTask : std::int32_t { Register = 1, Unregister = 2, Preview = 3 };

// The engine's mode for a task (see CallServerRegistration): a preview runs
// DllRegisterServer.
constexpr std::int32_t EngineMode(ServerTask task) {
  return static_cast<std::int32_t>(task == ServerTask::Preview ? ServerTask::Register : task);
}

// The numbers are part of the interface: callers and messages rely on them.
enum class RegistrationResult : std::int32_t {
  NothingDone = 0,        // empty path, no memory, or the worker could not be started
  NotLoadable = 1,        // the file did not load as a library
  NoEntryPoint = 2,       // the entry point is not exported, or the mode selects none
  TimedOut = 3,           // the entry point had not finished after the time limit
  Registered = 4,         // DllRegisterServer ran to its end and succeeded
  Unregistered = 5,       // DllUnregisterServer ran to its end and succeeded
  EntryPointFailed = 6,   // the entry point ran to its end and reported failure
  EntryPointCrashed = 7,  // the entry point raised a hardware exception
  // For the current user only: the entry point succeeded, but not all it
  // wrote could be carried over into the user's keys. Never from the engine.
  NotAllApplied = 8,
};

struct RegistrationOutcome {
  RegistrationResult result = RegistrationResult::NothingDone;
  // What went wrong, by result: NotLoadable -> the loader's Win32 error;
  // EntryPointFailed -> the HRESULT; EntryPointCrashed -> the exception code.
  // Zero otherwise.
  std::uint32_t detail = 0;
  // NotLoadable: the machine the file is built for, so that a file for the
  // other of the two tools can be told from one the loader refused.
  Machine machine = Machine::None;

  bool Succeeded() const {
    return result == RegistrationResult::Registered || result == RegistrationResult::Unregistered;
  }
};

inline constexpr std::uint32_t kRegistrationTimeLimitMs = 10000;

// "DllRegisterServer" for mode 1, "DllUnregisterServer" for mode 2, null otherwise.
const char* EntryPointName(std::int32_t mode);
inline const char* EntryPointName(ServerTask task) { return EntryPointName(EngineMode(task)); }

// Told as the server's own code is about to run (its DllMain) and once the
// loader has returned it, so that a child running a server for the window can
// say where the server's time went.
class LoadWatch {
 public:
  // False: the server is not loaded and nothing is done.
  virtual bool AboutToLoad() = 0;
  virtual void Loaded() = 0;

 protected:
  ~LoadWatch() = default;
};

// `path` is taken by value: the caller's string is never touched. The loader
// gets exactly the file it names (made absolute, never with ".dll" added); a
// path holding a NUL names no file and gives NotLoadable. Any mode other than 1
// or 2 selects no entry point and gives NoEntryPoint.
RegistrationOutcome CallServerRegistration(std::wstring path, std::int32_t mode,
                                           LoadWatch* watch = nullptr);

}  // namespace Ostravel
