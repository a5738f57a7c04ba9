#include "server_child.h"

#include <array>
#include <memory>

#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>

#include "child_channel.h"
#include "executable_name.h"
#include "file_name.h"
#include "owned_handle.h"
#include "tool_files.h"

namespace Ostravel {
namespace {

using toolkit::OwnedHandle;

ULONGLONG Now() { return GetTickCount64(); }
DWORD Remaining(ULONGLONG deadline) {
  const ULONGLONG now = Now();
  return deadline > now ? static_cast<DWORD>(deadline - now) : 0;
}

// The child, held in a job that ends it and all it starts, also should this
// process end first. An elevated child is started by the system on the user's
// consent; the handle it hands back may lack the rights to put the child in
// the job or to end it, so that child also bounds itself (kChildSelfLimitMs).
class ChildProcess {
 public:
  ChildProcess(const std::wstring& exe, const std::wstring& id, ChildStart start)
      : job_(NewKillOnCloseJob()) {
    if (start == ChildStart::Elevated) {
      StartElevated(exe, id);
    } else {
      StartSuspended(exe, id);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { End(); }

  HANDLE Process() const { return process_.get(); }
  DWORD Error() const { return error_; }
  // The exit code once the process has ended within `limitMs`.
  std::optional<DWORD> ExitCode(DWORD limitMs) const {
    DWORD code = 0;
    if (WaitForSingleObject(process_.get(), limitMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.get(), &code)) {
      return std::nullopt;
    }
    return code;
  }
  // The child and everything it started end here, whatever they are doing.
  // Nothing of it may be read while it can still write, and a termination
  // always completes.
  void End() {
    if (!process_) return;
    const bool ended = inJob_ ? TerminateJobObject(job_.get(), ERROR_TIMEOUT)
                              : TerminateProcess(process_.get(), ERROR_TIMEOUT);
    // One this process may not end ends itself at its own limit.
    WaitForSingleObject(process_.get(), ended ? INFINITE : kChildSelfLimitMs);
  }

 private:
  void StartSuspended(const std::wstring& exe, const std::wstring& id) {
    std::wstring commandLine = L"\"" + exe + L"\" " + kChildSwitch + L" " + id;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;  // it shows no window: no busy cursor meanwhile
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &info)) {
      error_ = GetLastError();
      return;
    }
    process_.reset(info.hProcess);
    const OwnedHandle thread(info.hThread);
    // A tool that runs in a job that allows no other still runs servers; it
    // then ends only the child itself.
    inJob_ = job_ && AssignProcessToJobObject(job_.get(), info.hProcess);
    ResumeThread(info.hThread);
  }

  // The shell asks the user; a refusal is ERROR_CANCELLED. The child runs
  // before it can be put in the job: it reads its request only from the pipe,
  // so it loads nothing meanwhile.
  void StartElevated(const std::wstring& exe, const std::wstring& id) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring parameters = std::wstring(kChildSwitch) + L" " + id;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = exe.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    const bool started = ShellExecuteExW(&info);
    error_ = started ? (info.hProcess ? 0 : ERROR_INVALID_HANDLE) : GetLastError();
    if (SUCCEEDED(com)) CoUninitialize();
    if (!started || !info.hProcess) return;
    process_.reset(info.hProcess);
    inJob_ = job_ && AssignProcessToJobObject(job_.get(), info.hProcess);
  }

  OwnedHandle job_;
  OwnedHandle process_;
  bool inJob_ = false;
  DWORD error_ = 0;
};

// Who may open the pipe: this user, and the administrators and the system. The
// default DACL of a pipe names only its creator's logon, so an administrator
// of another account, which over-the-shoulder elevation runs the child as,
// could not connect; being explicit also keeps out anyone else the default
// would let in.
class PipeSecurity {
 public:
  PipeSecurity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    const OwnedHandle tokenOwner(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> user(size);
    wchar_t* sid = nullptr;
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
      return;
    }
    const toolkit::OwnedLocal<wchar_t> sidOwner(sid);
    const std::wstring sddl = std::wstring(L"D:P(A;;GA;;;") + sid + L")(A;;GA;;;BA)(A;;GA;;;SY)";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
      descriptor_ = nullptr;
      return;
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
  }
  ~PipeSecurity() { LocalFree(descriptor_); }
  PipeSecurity(const PipeSecurity&) = delete;
  PipeSecurity& operator=(const PipeSecurity&) = delete;
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

enum class Io { Done, Broken, TimedOut };

// One overlapped read or write of all `size` bytes, given up at `deadline`.
Io Transfer(HANDLE pipe, HANDLE event, bool write, void* data, DWORD size, ULONGLONG deadline) {
  auto* bytes = static_cast<std::uint8_t*>(data);
  for (DWORD done = 0; done < size;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD moved = 0;
    BOOL ok = write ? WriteFile(pipe, bytes + done, size - done, &moved, &overlapped)
                    : ReadFile(pipe, bytes + done, size - done, &moved, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
      if (WaitForSingleObject(event, Remaining(deadline)) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
        return Io::TimedOut;
      }
      ok = GetOverlappedResult(pipe, &overlapped, &moved, FALSE);
    }
    if (!ok) return Io::Broken;
    done += moved;
    if (done < size && Remaining(deadline) == 0) return Io::TimedOut;
  }
  return Io::Done;
}

// Until the child has opened its end of the pipe, or has ended first.
Io Connect(HANDLE pipe, HANDLE event, HANDLE process, ULONGLONG deadline) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;
  if (ConnectNamedPipe(pipe, &overlapped)) return Io::Done;
  switch (GetLastError()) {
    case ERROR_PIPE_CONNECTED: return Io::Done;
    case ERROR_IO_PENDING: break;
    default: return Io::Broken;
  }
  const HANDLE waits[] = {event, process};
  const DWORD which = WaitForMultipleObjects(2, waits, FALSE, Remaining(deadline));
  DWORD unused = 0;
  if (which == WAIT_OBJECT_0) {
    return GetOverlappedResult(pipe, &overlapped, &unused, FALSE) ? Io::Done : Io::Broken;
  }
  CancelIo(pipe);
  GetOverlappedResult(pipe, &overlapped, &unused, TRUE);
  return which == WAIT_OBJECT_0 + 1 ? Io::Broken : Io::TimedOut;
}

// Where the server's code was when the child last spoke.
enum class Phase { Starting, Loading, Loaded };

class Conversation {
 public:
  Conversation(HANDLE pipe, HANDLE event, const ChildProcess& child)
      : pipe_(pipe), event_(event), child_(child), deadline_(Now() + kChildStartLimitMs) {}

  ServerRun Run(const ChildRequest& request) {
    Bytes record = RequestRecord(request);
    if (Connect(pipe_, event_, child_.Process(), deadline_) != Io::Done ||
        Transfer(pipe_, event_, true, record.data(), static_cast<DWORD>(record.size()),
                 deadline_) != Io::Done) {
      return Lost();
    }
    for (;;) {
      std::array<std::uint8_t, kRecordHeaderSize> head{};
      const Io io = Transfer(pipe_, event_, false, head.data(), head.size(), deadline_);
      if (io == Io::TimedOut) return PastTheLimit();
      const auto header = io == Io::Done ? ReadRecordHeader(head) : std::nullopt;
      if (!header) return Lost();
      Bytes body(header->bodySize);
      if (const Io read = Transfer(pipe_, event_, false, body.data(), header->bodySize, deadline_);
          read != Io::Done) {
        return read == Io::TimedOut ? PastTheLimit() : Lost();
      }
      // The Hello comes first and once: every later record is of this version.
      if ((header->kind == RecordKind::Hello) == greeted_) return Lost();
      switch (header->kind) {
        case RecordKind::Hello: {
          greeted_ = true;
          std::optional<std::wstring> version = ReadHello(body);
          if (!version) return Lost();
          if (*version != kToolVersion) return OfAnotherVersion(std::move(*version));
          break;
        }
        case RecordKind::AboutToLoad:
          if (phase_ != Phase::Starting) return Lost();
          phase_ = Phase::Loading;
          // The server's own time starts here.
          deadline_ = Now() + kRegistrationTimeLimitMs;
          break;
        case RecordKind::Loaded:
          if (phase_ != Phase::Loading) return Lost();
          phase_ = Phase::Loaded;
          break;
        case RecordKind::Outcome:
          if (auto report = ReadOutcome(body)) {
            return {report->outcome, ChildEnd::Reported, 0, {}, std::move(report->notes)};
          }
          return Lost();
        case RecordKind::Request: return Lost();
      }
    }
  }

 private:
  ServerRun Ended(ChildEnd end, std::uint32_t detail = 0) const {
    ServerRun run;
    run.end = end;
    run.endDetail = detail;
    if (end == ChildEnd::CallTimedOut) run.outcome.result = RegistrationResult::TimedOut;
    return run;
  }

  ServerRun OfAnotherVersion(std::wstring version) const {
    ServerRun run = Ended(ChildEnd::OtherVersion);
    run.childVersion = std::move(version);
    return run;
  }

  ServerRun PastTheLimit() const {
    switch (phase_) {
      case Phase::Starting: return Ended(ChildEnd::NoAnswer);
      case Phase::Loading: return Ended(ChildEnd::LoadTimedOut);
      case Phase::Loaded: break;
    }
    return Ended(ChildEnd::CallTimedOut);
  }

  // The pipe broke or carried something that is no record of ours: the
  // process's end tells what happened, if it ends within the limit.
  ServerRun Lost() const {
    const std::optional<DWORD> code = child_.ExitCode(Remaining(deadline_));
    if (!code) return PastTheLimit();
    switch (phase_) {
      case Phase::Starting: return Ended(ChildEnd::EndedUnanswered, *code);
      case Phase::Loading: return Ended(ChildEnd::ExitedInLoad, *code);
      case Phase::Loaded: break;
    }
    return Ended(ChildEnd::ExitedInCall, *code);
  }

  HANDLE pipe_;
  HANDLE event_;
  const ChildProcess& child_;
  ULONGLONG deadline_;
  Phase phase_ = Phase::Starting;
  bool greeted_ = false;
};

}  // namespace

std::wstring ChildExecutable(Machine machine) {
  const std::wstring own = toolkit::ExecutablePath();
  const ToolFile* tool = ToolFor(machine);
  if (!tool || machine == kOwnMachine) return own;
  const std::wstring other = std::wstring(toolkit::FolderOf(own)) + tool->file;
  const DWORD attributes = GetFileAttributesW(other.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? other
                                                                                           : own;
}

// The pipe exists before the child starts, or the child would find none.
struct ServerChild::State {
  std::wstring id = NewUniqueName();
  OwnedHandle pipe;
  OwnedHandle event;
  std::optional<ChildProcess> child;
};

ServerChild::ServerChild(std::wstring executable, ChildStart start)
    : executable_(std::move(executable)), state_(std::make_unique<State>()) {
  if (state_->id.empty()) return;
  PipeSecurity security;
  if (!security.Attributes()) return;
  // One instance, local clients only: once the child holds it, no one else can.
  state_->pipe = toolkit::OwnFile(
      CreateNamedPipeW(PipeName(state_->id).c_str(),
                       PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                       1, 4096, 4096, 0, security.Attributes()));
  if (!state_->pipe) return;
  state_->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (state_->event) state_->child.emplace(executable_, state_->id, start);
}

ServerChild::~ServerChild() = default;

ServerRun ServerChild::Run(const ChildRequest& request) {
  ServerRun run;
  if (request.path.empty() || !state_->child) return run;
  if (!state_->child->Process()) {
    run.end = ChildEnd::NotStarted;
    run.endDetail = state_->child->Error();
  } else {
    run = Conversation(state_->pipe.get(), state_->event.get(), *state_->child).Run(request);
  }
  state_->child->End();
  run.executable = executable_;
  return run;
}

ServerRun RunServer(const ChildRequest& request, std::unique_ptr<ServerChild> ready,
                    ChildStart start) {
  if (request.path.empty()) return {};
  const std::wstring exe = ChildExecutable(ReadImageMachine(request.path));
  if (start == ChildStart::Elevated) return ServerChild(exe, start).Run(request);
  if (ready && ready->Executable() == exe) {
    ServerRun run = ready->Run(request);
    // A child that waited long may have been ended meanwhile; none of the
    // server ran in it, so a fresh one runs the request.
    if (run.end != ChildEnd::NoAnswer && run.end != ChildEnd::EndedUnanswered) return run;
  }
  return ServerChild(exe, start).Run(request);
}

}  // namespace Ostravel
