#include "preview.h"

#include <vector>

#include "child_channel.h"
#include "owned_handle.h"
#include "registry_keys.h"

namespace Ostravel {
namespace {

using toolkit::OwnedHandle;

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
  PreviewKey() : name_(NewUniqueName()) {
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

TaskResult PreviewRegistration(const std::wstring& path, std::unique_ptr<ServerChild> ready) {
  TaskResult preview;
  if (path.empty()) return preview;
  RemoveStalePreviews();

  PreviewKey key;
  if (!key.get()) return preview;
  // The child and all it started have ended when this returns: nothing writes
  // into the key while it is read.
  static_cast<ServerRun&>(preview) =
      RunServer({ServerTask::Preview, RegistrationScope::AsTheServerWrites, path, key.Name()},
                std::move(ready));
  preview.capture = ReadCapture(key.get());
  preview.capture.wow64 = preview.outcome.machine == Machine::X86 && WindowsIs64Bit();
  preview.cleanup = key.Remove();
  return preview;
}

}  // namespace Ostravel
