#pragma once
// The window's side of running a server's code in a child copy of the tool of
// the server's bitness, never in the calling process: a server that ends the
// process, deadlocks its DllMain, corrupts the heap or runs past the limit
// takes only the child. The window starts the child with its private switch
// inside a job that ends it and all it starts, hands it its request over a pipe
// of its own, and hears on that pipe when the server's code is about to load,
// when it has loaded, and the outcome. The limit counts from "about to load",
// so the child's own start is not the server's time; at the limit, and as soon
// as the outcome is in, the job is ended, so that nothing the server left
// running does anything afterwards. The child runs a server's code: nothing it
// says is trusted beyond what the records allow.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "child_record.h"
#include "ostravel.h"
#include "registry_capture.h"

namespace Ostravel {

// How the child's run ended, as the window saw it.
enum class ChildEnd : std::int32_t {
  Reported = 0,      // the child handed back the outcome
  NotStarted = 1,    // its program could not be started: the detail is the error
  NoAnswer = 2,      // it hung before the server's code was to load: none of it ran
  ExitedInLoad = 3,  // the process ended while the server loaded (its DllMain): the exit code
  ExitedInCall = 4,  // the process ended after the server had loaded: the exit code
  LoadTimedOut = 5,  // the server's DllMain had not returned at the limit
  CallTimedOut = 6,  // the entry point (or the unloading) had not finished at the limit
  OtherVersion = 7,  // a build of another version, which runs nothing for this one
  // It ended before the server's code was to load, none of which ran: the
  // exit code, the child's own when it refused its request.
  EndedUnanswered = 8,
};

struct ServerRun {
  // What the engine found; for an end other than Reported nothing succeeded,
  // and a call past the limit is TimedOut.
  RegistrationOutcome outcome;
  ChildEnd end = ChildEnd::Reported;
  std::uint32_t endDetail = 0;
  std::wstring executable = {};          // the program the child ran
  std::vector<std::wstring> notes = {};  // lines the child adds under the outcome
  std::wstring childVersion = {};        // OtherVersion: the version the child said it is
};

// What one task on one file found: the child's run and, for a preview, what
// the server wrote and whether the private key it wrote into went again.
struct TaskResult : ServerRun {
  Capture capture;  // empty unless a preview's server wrote something
  // Not ERROR_SUCCESS: a preview's private key could not all be deleted, for
  // this reason; the next preview tries again.
  LSTATUS cleanup = ERROR_SUCCESS;
};

// How the child is started: with this process's rights, or elevated through
// the system's prompt ("runas"), with only the child running as administrator.
enum class ChildStart { AsThisTool, Elevated };

// The program that runs a server of `machine`: the tool of that machine when
// it stands beside this one, else this one, whose loader then gives the reason.
std::wstring ChildExecutable(Machine machine);

// One child of `executable`, a build of this tool, for one request. It starts
// at once and waits for its request, so that a child started when the user
// chooses a file leaves the press to wait only for the server. Whatever of it
// is left ends with this object.
class ServerChild {
 public:
  explicit ServerChild(std::wstring executable, ChildStart start = ChildStart::AsThisTool);
  ~ServerChild();
  ServerChild(const ServerChild&) = delete;
  ServerChild& operator=(const ServerChild&) = delete;

  const std::wstring& Executable() const { return executable_; }
  // Blocks until the child has ended and everything it started with it. An
  // empty path does nothing, as in the engine.
  ServerRun Run(const ChildRequest& request);

 private:
  struct State;
  std::wstring executable_;
  std::unique_ptr<State> state_;
};

// Runs the request in a child of the server's bitness: `ready` when it runs
// the right program (never for an elevated start), else one started now.
ServerRun RunServer(const ChildRequest& request, std::unique_ptr<ServerChild> ready = nullptr,
                    ChildStart start = ChildStart::AsThisTool);

}  // namespace Ostravel
