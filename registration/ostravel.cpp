#include "ostravel.h"

#include <atomic>

#include <objbase.h>
#include <windows.h>

#include "worker_guard.h"

namespace Ostravel {
namespace {

using detail::ServerEntryPoint;

// What the caller and the worker share. Either side may be the last to let go:
// a worker that outlives the time limit still writes its results here.
struct Job {
  ServerEntryPoint entry = nullptr;
  HMODULE workerModule = nullptr;  // the worker's own reference to the library
  HRESULT hr = E_UNEXPECTED;
  bool crashed = false;
  DWORD exceptionCode = 0;
  std::atomic<int> owners{2};

  void Release() {
    if (--owners == 0) delete this;
  }
};

void NoteCrash(void* context, DWORD exceptionCode) {
  auto* job = static_cast<Job*>(context);
  job->crashed = true;
  job->exceptionCode = exceptionCode;
  // The library is left loaded: the crashed server's state is unknown.
  job->Release();
}

DWORD WINAPI RunEntryPoint(void* parameter) {
  auto* job = static_cast<Job*>(parameter);
  // Many servers register type libraries, which needs an apartment.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  job->hr = detail::CallGuarded(job->entry, {NoteCrash, job});
  if (SUCCEEDED(init)) CoUninitialize();
  HMODULE module = job->workerModule;
  job->Release();
  // The library must outlive every instruction of it this thread runs; this
  // returns into no code of the library.
  FreeLibraryAndExitThread(module, 0);
}

class Library {
 public:
  explicit Library(HMODULE module) : module_(module) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }
  void Keep() { module_ = nullptr; }

 private:
  HMODULE module_;
};

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

RegistrationOutcome Outcome(RegistrationResult result, std::uint32_t detail = 0) {
  return {result, detail};
}

}  // namespace

const char* EntryPointName(std::int32_t mode) {
  switch (static_cast<RegistrationMode>(mode)) {
    case RegistrationMode::Register: return "DllRegisterServer";
    case RegistrationMode::Unregister: return "DllUnregisterServer";
  }
  return nullptr;
}

RegistrationOutcome CallServerRegistration(std::wstring path, std::int32_t mode) {
  if (path.empty()) return Outcome(RegistrationResult::NothingDone);

  // The altered search path finds the DLLs that sit beside the server, as the
  // system's own registration tool does, whatever the current directory is.
  Library library(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library.get()) return Outcome(RegistrationResult::NotLoadable, GetLastError());

  const char* name = EntryPointName(mode);
  auto entry = name ? reinterpret_cast<ServerEntryPoint>(
                          reinterpret_cast<void*>(GetProcAddress(library.get(), name)))
                    : nullptr;
  if (!entry) return Outcome(RegistrationResult::NoEntryPoint);

  // The worker holds a reference of its own, so that a worker still running at
  // the time limit keeps the library loaded until it ends.
  HMODULE workerModule = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(entry), &workerModule)) {
    return Outcome(RegistrationResult::NothingDone);
  }
  auto* job = new Job{entry, workerModule};
  Handle worker(CreateThread(nullptr, 0, RunEntryPoint, job, 0, nullptr));
  if (!worker.get()) {
    FreeLibrary(workerModule);
    delete job;
    return Outcome(RegistrationResult::NothingDone);
  }

  if (WaitForSingleObject(worker.get(), kRegistrationTimeLimitMs) != WAIT_OBJECT_0) {
    // Left to finish on its own; it releases its reference and its share of the
    // job when it ends. Closing our handle does not stop it.
    job->Release();
    return Outcome(RegistrationResult::TimedOut);
  }

  RegistrationOutcome outcome;
  if (job->crashed) {
    library.Keep();
    outcome = Outcome(RegistrationResult::EntryPointCrashed, job->exceptionCode);
  } else if (FAILED(job->hr)) {
    outcome = Outcome(RegistrationResult::EntryPointFailed, static_cast<std::uint32_t>(job->hr));
  } else {
    outcome = Outcome(mode == static_cast<std::int32_t>(RegistrationMode::Register)
                          ? RegistrationResult::Registered
                          : RegistrationResult::Unregistered);
  }
  job->Release();
  return outcome;
}

}  // namespace Ostravel
