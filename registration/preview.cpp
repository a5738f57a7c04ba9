#include "preview.h"

#include <vector>

#include <objbase.h>

#include "owned_handle.h"

namespace Ostravel {
namespace {

std::wstring NewPreviewName() {
  GUID guid{};
  wchar_t text[40] = {};
  if (FAILED(CoCreateGuid(&guid)) || !StringFromGUID2(guid, text, 40)) return {};
  return text;
}

void DeletePreviewKey(const std::wstring& name) {
  RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kPreviewsKey) + L"\\" + name).c_str());
  // Leave no trace of the tool once no preview is left; a key still holding
  // another instance's preview stays.
  RegDeleteKeyW(HKEY_CURRENT_USER, kPreviewsKey);
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Corvantis");
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
  ~PreviewKey() {
    if (!key_) return;
    key_.reset();
    DeletePreviewKey(name_);
  }
  HKEY get() const { return key_.get(); }
  const std::wstring& Name() const { return name_; }

 private:
  std::wstring name_;
  toolkit::OwnedHandle mutex_;
  OwnedKey key_;
};

void RemoveStalePreviews() {
  std::vector<std::wstring> stale;
  if (const OwnedKey previews = OpenKey(HKEY_CURRENT_USER, kPreviewsKey, KEY_READ)) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(previews.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      const toolkit::OwnedHandle alive(
          OpenMutexW(SYNCHRONIZE, FALSE, PreviewMutexName(name).c_str()));
      if (!alive && GetLastError() == ERROR_FILE_NOT_FOUND) stale.emplace_back(name);
    }
  }
  for (const std::wstring& name : stale) DeletePreviewKey(name);
}

// Every predefined root a program can write to, and its handle.
constexpr RegistryRoot kRegistryRoots[] = {RegistryRoot::ClassesRoot, RegistryRoot::LocalMachine,
                                           RegistryRoot::CurrentUser, RegistryRoot::Users,
                                           RegistryRoot::CurrentConfig};

HKEY PredefinedKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::Users: return HKEY_USERS;
    case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return nullptr;
}

}  // namespace

// Global, as the user's key is shared by all the user's sessions.
std::wstring PreviewMutexName(const std::wstring& name) {
  return L"Global\\Corvantis.Preview." + name;
}

Preview PreviewRegistration(const std::wstring& path, std::unique_ptr<ServerChild> ready) {
  Preview preview;
  if (path.empty()) return preview;
  RemoveStalePreviews();

  const PreviewKey key;
  if (!key.get()) return preview;
  static_cast<ServerRun&>(preview) = RunServer(
      {ChildTask::Preview, RegistrationScope::AsTheServerWrites, path, key.Name()},
      std::move(ready));
  for (RegistryRoot root : kRegistryRoots) {
    if (const OwnedKey tree = OpenKey(key.get(), RootName(root), KEY_READ)) {
      ReadTree(tree.get(), root, L"", preview.capture);
    }
  }
  return preview;
}

RegistrationOutcome RegistrationInPreviewKey(const std::wstring& name, const std::wstring& server,
                                             LoadWatch* watch) {
  const OwnedKey previewKey =
      OpenKey(HKEY_CURRENT_USER, std::wstring(kPreviewsKey) + L"\\" + name, KEY_READ | KEY_WRITE);
  if (!previewKey) return {RegistrationResult::NothingDone};
  bool redirected = true;
  std::vector<OwnedKey> targets;  // open for as long as the roots lead there
  for (RegistryRoot root : kRegistryRoots) {
    targets.push_back(CreateKey(previewKey.get(), RootName(root)));
    redirected = redirected && targets.back() &&
                 RegOverridePredefKey(PredefinedKey(root), targets.back().get()) == ERROR_SUCCESS;
  }
  if (!redirected) return {RegistrationResult::NothingDone};
  return CallServerRegistration(server, static_cast<int>(RegistrationMode::Register), watch);
}

}  // namespace Ostravel
