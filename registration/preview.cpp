#include "preview.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <objbase.h>
#include <shellapi.h>

#include "executable_name.h"
#include "owned_handle.h"

namespace Ostravel {
namespace {

// One of the private switches, so it begins with kPrivateSwitchPrefix.
constexpr wchar_t kChildSwitch[] = L"/corvantis-preview";
constexpr wchar_t kServerValue[] = L"Server";
constexpr wchar_t kOutcomeValue[] = L"Outcome";
// The child's own start and end on top of the server's time limit.
constexpr DWORD kChildMarginMs = 5000;

std::wstring NewPreviewName() {
  GUID guid{};
  wchar_t text[40] = {};
  if (FAILED(CoCreateGuid(&guid)) || !StringFromGUID2(guid, text, 40)) return {};
  return text;
}

// Nothing here follows a link: a server may have replaced any of these keys
// with one that leads to the user's real data.
LSTATUS DeletePreviewKey(const std::wstring& name) {
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  if (const OwnedKey previews =
          OpenUnfollowed(HKEY_CURRENT_USER, kPreviewsKey, KEY_ENUMERATE_SUB_KEYS, &status)) {
    status = DeleteTreeUnfollowed(previews.get(), name);
  }
  // Leave no trace of the tool once no preview is left; a key still holding
  // another instance's preview stays.
  DeleteIfEmpty(HKEY_CURRENT_USER, kPreviewsKey);
  DeleteIfEmpty(HKEY_CURRENT_USER, L"Software\\Corvantis");
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// One preview's private key and the mutex that marks it alive; both go with
// this object.
class PreviewKey {
 public:
  PreviewKey() : name_(NewPreviewName()) {
    if (name_.empty()) return;
    mutex_.reset(CreateMutexW(nullptr, FALSE, PreviewMutexName(name_).c_str()));
    if (mutex_) key_ = CreateKey(HKEY_CURRENT_USER, std::wstring(kPreviewsKey) + L"\\" + name_);
  }
  PreviewKey(const PreviewKey&) = delete;
  PreviewKey& operator=(const PreviewKey&) = delete;
  ~PreviewKey() { Remove(); }
  // Once only; a key that stays is removed by a later preview, as a dead one's.
  LSTATUS Remove() {
    if (!key_) return ERROR_SUCCESS;
    key_.reset();
    return DeletePreviewKey(name_);
  }
  HKEY get() const { return key_.get(); }
  const std::wstring& Name() const { return name_; }

 private:
  std::wstring name_;
  OwnedHandle mutex_;
  OwnedKey key_;
};

void RemoveStalePreviews() {
  std::vector<std::wstring> stale;
  if (const OwnedKey previews =
          OpenUnfollowed(HKEY_CURRENT_USER, kPreviewsKey, KEY_ENUMERATE_SUB_KEYS)) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(previews.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      const OwnedHandle alive(OpenMutexW(SYNCHRONIZE, FALSE, PreviewMutexName(name).c_str()));
      if (!alive && GetLastError() == ERROR_FILE_NOT_FOUND) stale.emplace_back(name);
    }
  }
  for (const std::wstring& name : stale) DeletePreviewKey(name);
}

// The server's path travels as raw characters, so that no quoting or
// terminator can alter it on the way.
bool WriteBytes(HKEY key, const wchar_t* name, const void* data, std::size_t size) {
  return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data),
                        static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

std::optional<std::vector<BYTE>> ReadBytes(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_BINARY) {
    return std::nullopt;
  }
  std::vector<BYTE> data(size);
  if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(size);
  return data;
}

// What the child hands back, beside the capture.
struct OutcomeRecord {
  std::int32_t result;
  std::uint32_t detail;
  std::uint32_t machine;
};

void WriteOutcome(HKEY key, const RegistrationOutcome& outcome) {
  const OutcomeRecord record{static_cast<std::int32_t>(outcome.result), outcome.detail,
                             static_cast<std::uint32_t>(outcome.machine)};
  WriteBytes(key, kOutcomeValue, &record, sizeof record);
}

std::optional<RegistrationOutcome> ReadOutcome(HKEY key) {
  const auto data = ReadBytes(key, kOutcomeValue);
  if (!data || data->size() != sizeof(OutcomeRecord)) return std::nullopt;
  OutcomeRecord record;
  std::memcpy(&record, data->data(), sizeof record);
  return RegistrationOutcome{static_cast<RegistrationResult>(record.result), record.detail,
                             static_cast<Machine>(record.machine)};
}

// The child, in a job that ends it (and anything it starts) should this
// process end first. Null if it could not be started.
struct Child {
  OwnedHandle job;
  OwnedHandle process;
};

Child StartChild(const std::wstring& previewName) {
  Child child;
  child.job.reset(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (child.job) {
    SetInformationJobObject(child.job.get(), JobObjectExtendedLimitInformation, &limits,
                            sizeof limits);
  }
  const std::wstring exe = toolkit::ExecutablePath();
  std::wstring commandLine = L"\"" + exe + L"\" " + kChildSwitch + L" " + previewName;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_FORCEOFFFEEDBACK;  // it shows no window: no busy cursor meanwhile
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &info)) {
    return child;
  }
  child.process.reset(info.hProcess);
  const OwnedHandle thread(info.hThread);
  // A tool that already runs in a job that allows no other may still preview;
  // the child then only lacks the guard against outliving it.
  if (child.job) AssignProcessToJobObject(child.job.get(), info.hProcess);
  ResumeThread(info.hThread);
  return child;
}

// The outcome the child handed back. A child that never took the server's
// path never ran it: nothing done. One that overstayed is ended and counts as
// timed out; one that ended without a word (a server that ended the process
// itself) counts as crashed, with the process's exit code.
RegistrationOutcome AwaitChild(HANDLE process, HKEY previewKey) {
  const bool overstayed =
      WaitForSingleObject(process, kRegistrationTimeLimitMs + kChildMarginMs) != WAIT_OBJECT_0;
  if (overstayed) {
    TerminateProcess(process, ERROR_TIMEOUT);
    // Nothing may be read or deleted while the child can still write; the
    // termination always completes.
    WaitForSingleObject(process, INFINITE);
  }
  if (const auto handed = ReadOutcome(previewKey)) return *handed;
  if (ReadBytes(previewKey, kServerValue)) return {RegistrationResult::NothingDone};
  if (overstayed) return {RegistrationResult::TimedOut};
  DWORD exitCode = 0;
  GetExitCodeProcess(process, &exitCode);
  return {RegistrationResult::EntryPointCrashed, exitCode};
}

// In the child: every root into the private key, then the registration, then
// the end. Nothing runs between the call's return and the end of the process.
[[noreturn]] void RunChild(HKEY previewKey, const std::wstring& server) {
  RegistrationOutcome outcome{RegistrationResult::NothingDone};
  bool redirected = true;
  std::vector<OwnedKey> targets;  // open for as long as the roots lead there
  for (const PredefinedRoot& root : PredefinedRoots()) {
    targets.push_back(CreateKey(previewKey, root.redirectTo));
    redirected = redirected && targets.back() &&
                 RegOverridePredefKey(root.handle, targets.back().get()) == ERROR_SUCCESS;
  }
  // A server is never run against a real root.
  if (redirected)
    outcome = CallServerRegistration(server, static_cast<int>(RegistrationMode::Register));
  // The server ran here, so it is built for this process's machine.
  if (outcome.Succeeded()) outcome.machine = kOwnMachine;
  WriteOutcome(previewKey, outcome);
  // Ended at once: no code of the server (a worker still running, its DLL's
  // detach) runs after this. ExitProcess is only the compiler's assurance.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(outcome.result));
  ExitProcess(static_cast<UINT>(outcome.result));
}

// A 32-bit process asks; a 64-bit one is its own answer.
bool WindowsIs64Bit() {
  BOOL wow64 = FALSE;
  return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

}  // namespace

// Global, as the user's key is shared by all the user's sessions.
std::wstring PreviewMutexName(const std::wstring& name) {
  return L"Global\\Corvantis.Preview." + name;
}

Preview PreviewRegistration(const std::wstring& path) {
  Preview preview;
  if (path.empty()) return preview;
  RemoveStalePreviews();

  PreviewKey key;
  if (!key.get() ||
      !WriteBytes(key.get(), kServerValue, path.data(), path.size() * sizeof(wchar_t))) {
    return preview;
  }
  const Child child = StartChild(key.Name());
  if (!child.process) return preview;
  preview.outcome = AwaitChild(child.process.get(), key.get());
  preview.capture = ReadCapture(key.get());
  preview.capture.wow64 = preview.outcome.machine == Machine::X86 && WindowsIs64Bit();
  preview.cleanup = key.Remove();
  return preview;
}

std::optional<int> RunPreviewChildIfAsked() {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&LocalFree)> arguments(
      CommandLineToArgvW(GetCommandLineW(), &count), LocalFree);
  if (!arguments || count != 3 || std::wcscmp(arguments.get()[1], kChildSwitch) != 0) {
    return std::nullopt;
  }
  // As the tool itself: never load a DLL from the current folder.
  SetDllDirectoryW(L"");
  const OwnedKey key =
      OpenKey(HKEY_CURRENT_USER, std::wstring(kPreviewsKey) + L"\\" + arguments.get()[2],
              KEY_READ | KEY_WRITE);
  const auto server = key ? ReadBytes(key.get(), kServerValue) : std::nullopt;
  if (!server) return ERROR_FILE_NOT_FOUND;
  // Taking the path tells the parent that the server is about to run.
  if (const LSTATUS taken = RegDeleteValueW(key.get(), kServerValue); taken != ERROR_SUCCESS) {
    return taken;
  }
  RunChild(key.get(), std::wstring(reinterpret_cast<const wchar_t*>(server->data()),
                                   server->size() / sizeof(wchar_t)));
}

}  // namespace Ostravel
