#include "ostravel.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>

#include <objbase.h>
#include <windows.h>

#include "file_name.h"
#include "owned_handle.h"
#include "worker_guard.h"

namespace Ostravel {
namespace {

using detail::ServerEntryPoint;

class ComApartment {
 public:
  ComApartment() : init_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(init_)) CoUninitialize();
  }

 private:
  HRESULT init_;
};

// What the caller and the worker share, made before the library is loaded so
// that the one reference to the library is owned from the start. Whichever
// side lets go last frees both: a worker still running at the time limit keeps
// the library loaded until it ends.
struct Job {
  toolkit::OwnedLibrary library;
  ServerEntryPoint entry = nullptr;
  detail::GuardedCall call;
  std::atomic<int> owners{1};
};

struct LetGo {
  void operator()(Job* job) const {
    if (--job->owners == 0) delete job;
  }
};
using JobShare = std::unique_ptr<Job, LetGo>;

DWORD WINAPI RunEntryPoint(void* parameter) {
  const JobShare job(static_cast<Job*>(parameter));
  {
    // Many servers register type libraries, which needs an apartment.
    const ComApartment apartment;
    job->call = detail::CallGuarded(job->entry);
  }
  // A crashed server's state is unknown: it stays loaded.
  if (job->call.crashed) static_cast<void>(job->library.release());
  return 0;
}

// The name to hand the loader: absolute, since the altered search path is
// undefined for a relative one, and with a trailing "." on a last component
// without an extension, or the loader would append ".dll" and load another
// file. Empty when `path` names no file.
std::wstring LoaderName(const std::wstring& path) {
  if (path.find(L'\0') != std::wstring::npos) return {};
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  if (full.empty()) return {};
  full.resize(
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  if (toolkit::FileNameOf(full).find(L'.') == std::wstring_view::npos) full += L'.';
  return full;
}

RegistrationOutcome Outcome(RegistrationResult result, std::uint32_t detail = 0) {
  return {result, detail};
}

}  // namespace

const char* EntryPointName(std::int32_t mode) {
  if (mode == EngineMode(ServerTask::Register)) return "DllRegisterServer";
  if (mode == EngineMode(ServerTask::Unregister)) return "DllUnregisterServer";
  return nullptr;
}

RegistrationOutcome CallServerRegistration(std::wstring path, std::int32_t mode,
                                           LoadWatch* watch) try {
  if (path.empty()) return Outcome(RegistrationResult::NothingDone);
  const std::wstring name = LoaderName(path);
  if (name.empty()) return Outcome(RegistrationResult::NotLoadable, ERROR_INVALID_NAME);

  const JobShare job(new Job);
  if (watch && !watch->AboutToLoad()) return Outcome(RegistrationResult::NothingDone);
  // The altered search path finds the DLLs that sit beside the server, as the
  // system's own registration tool does, whatever the current folder is.
  job->library.reset(LoadLibraryExW(name.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!job->library) {
    RegistrationOutcome outcome = Outcome(RegistrationResult::NotLoadable, GetLastError());
    outcome.machine = ReadImageMachine(name);
    return outcome;
  }
  if (watch) watch->Loaded();

  const char* entryName = EntryPointName(mode);
  job->entry = entryName ? reinterpret_cast<ServerEntryPoint>(reinterpret_cast<void*>(
                               GetProcAddress(job->library.get(), entryName)))
                         : nullptr;
  if (!job->entry) return Outcome(RegistrationResult::NoEntryPoint);

  ++job->owners;  // the worker's share
  const toolkit::OwnedHandle worker(CreateThread(nullptr, 0, RunEntryPoint, job.get(), 0, nullptr));
  if (!worker) {
    --job->owners;
    return Outcome(RegistrationResult::NothingDone);
  }
  // A worker still running at the limit is left to finish on its own; closing
  // our handle does not stop it.
  if (WaitForSingleObject(worker.get(), kRegistrationTimeLimitMs) != WAIT_OBJECT_0) {
    return Outcome(RegistrationResult::TimedOut);
  }

  const detail::GuardedCall& call = job->call;
  if (call.crashed) return Outcome(RegistrationResult::EntryPointCrashed, call.exceptionCode);
  if (FAILED(call.result)) {
    return Outcome(RegistrationResult::EntryPointFailed, static_cast<std::uint32_t>(call.result));
  }
  return Outcome(mode == EngineMode(ServerTask::Register) ? RegistrationResult::Registered
                                                          : RegistrationResult::Unregistered);
} catch (const std::bad_alloc&) {
  // Whatever was acquired is released on the way out; the server never ran.
  return Outcome(RegistrationResult::NothingDone);
}

}  // namespace Ostravel
