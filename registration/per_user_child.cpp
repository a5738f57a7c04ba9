#include "per_user_child.h"

#include <cwctype>
#include <vector>

#include "per_user.h"
#include "registry_keys.h"

namespace Ostravel {
namespace {

// Where the user's classes are below HKEY_CURRENT_USER, and the machine's
// below HKEY_LOCAL_MACHINE.
constexpr wchar_t kUserClasses[] = L"Software\\Classes";
// A server may write any number of keys; the user reads a few names and a count.
constexpr std::size_t kNamedWrites = 10;
// Deeper and more than any registration goes (COM's deepest layout is 9
// levels, the largest type libraries under 10,000 keys); a server's tree is
// not walked further, and the user is told.
constexpr int kDeepest = 32;
constexpr std::size_t kMostKeys = 25000;

std::wstring PrivatePath(const std::wstring& name) {
  return std::wstring(kPerUserMachineKey) + L"\\" + name;
}

bool IsLink(HKEY key) {
  DWORD type = REG_NONE;
  return RegQueryValueExW(key, kSymbolicLinkValue, nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
  std::vector<std::wstring> names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

// The path below HKCU\Software\Classes that a machine-wide path under
// Software\Classes stands for; nothing for any other machine-wide path.
std::optional<std::wstring> UserClassesPath(const std::wstring& machinePath) {
  const std::wstring prefix = kUserClasses;
  if (!StartsWithNoCase(machinePath, prefix)) return std::nullopt;
  if (machinePath.size() == prefix.size()) return std::wstring();
  if (machinePath[prefix.size()] != L'\\') return std::nullopt;
  return machinePath.substr(prefix.size() + 1);
}

// Carries what a server wrote below the private HKEY_LOCAL_MACHINE over into
// the user's classes, and names what it cannot carry.
class MachineWrites {
 public:
  void Walk(HKEY key, const std::wstring& path, int depth = 0) {
    DWORD subkeys = 0, valueCount = 0, longestName = 0, largestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &valueCount,
                         &longestName, &largestData, nullptr, nullptr) != ERROR_SUCCESS) {
      return;
    }
    const std::optional<std::wstring> classes = UserClassesPath(path);
    if (++keys_ > kMostKeys) {
      cut_ = true;
      return;
    }
    if (IsLink(key) || depth >= kDeepest) {
      NotApplied(path);
      return;
    }
    if (classes && (valueCount > 0 || subkeys == 0)) {
      Copy(key, *classes, valueCount, longestName, largestData, path);
    } else if (!classes && !path.empty() && (valueCount > 0 || subkeys == 0)) {
      NotApplied(path);
    }
    for (const std::wstring& child : SubkeyNames(key)) {
      if (const OwnedKey sub = OpenUnfollowed(key, child, KEY_READ)) {
        Walk(sub.get(), path.empty() ? child : path + L"\\" + child, depth + 1);
      }
    }
  }

  bool Failed() const { return !failed_.empty(); }

  std::vector<std::wstring> Notes() const {
    std::vector<std::wstring> notes;
    if (!failed_.empty()) {
      notes.push_back(L"未能写入当前用户的注册表项: HKEY_CURRENT_USER\\Software\\Classes\\" +
                      failed_.front());
    }
    if (cut_) {
      notes.push_back(L"文件写入的注册表项超过 " + std::to_wstring(kMostKeys) +
                      L" 个,其余的没有读取,也没有应用。");
    }
    if (notApplied_.empty()) return notes;
    notes.push_back(L"以下全机范围的写入没有应用:");
    for (std::size_t i = 0; i < notApplied_.size() && i < kNamedWrites; ++i) {
      notes.push_back(L"HKEY_LOCAL_MACHINE\\" + notApplied_[i]);
    }
    if (notApplied_.size() > kNamedWrites) {
      notes.push_back(L"……另有 " + std::to_wstring(notApplied_.size() - kNamedWrites) + L" 项。");
    }
    return notes;
  }

 private:
  void NotApplied(const std::wstring& path) { notApplied_.push_back(path.empty() ? L"" : path); }

  void Copy(HKEY from, const std::wstring& to, DWORD count, DWORD longestName, DWORD largestData,
            const std::wstring& path) {
    const OwnedKey target =
        CreateKey(HKEY_CURRENT_USER, to.empty() ? std::wstring(kUserClasses)
                                                : std::wstring(kUserClasses) + L"\\" + to);
    if (!target) {
      failed_.push_back(to);
      return;
    }
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(largestData);
    for (DWORD i = 0; i < count; ++i) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD size = static_cast<DWORD>(data.size());
      DWORD type = REG_NONE;
      if (RegEnumValueW(from, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
          ERROR_SUCCESS) {
        continue;
      }
      if (type == REG_LINK) {
        NotApplied(path);
        continue;
      }
      if (RegSetValueExW(target.get(), name.data(), 0, type, data.data(), size) != ERROR_SUCCESS) {
        failed_.push_back(to);
      }
    }
  }

  std::vector<std::wstring> notApplied_;
  std::vector<std::wstring> failed_;
  std::size_t keys_ = 0;
  bool cut_ = false;
};

// Per-user type libraries, where oleaut32 offers them (Windows 7 and later):
// RegisterTypeLib then writes below HKEY_CLASSES_ROOT as the user's.
void EnablePerUserTypeLibraries() {
  if (const HMODULE oleaut = LoadLibraryW(L"oleaut32.dll")) {
    using EnableFn = void(WINAPI*)();
    if (const auto enable = reinterpret_cast<EnableFn>(
            reinterpret_cast<void*>(GetProcAddress(oleaut, "OaEnablePerUserTLibRegistration")))) {
      enable();
    }
  }
}

}  // namespace

ChildReport RegistrationForCurrentUser(const std::wstring& name, const std::wstring& server,
                                       ServerTask task, LoadWatch* watch) {
  ChildReport report;
  const OwnedKey machine = CreateKey(HKEY_CURRENT_USER, PrivatePath(name));
  const OwnedKey classes = CreateKey(HKEY_CURRENT_USER, kUserClasses);
  if (!machine || !classes ||
      RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get()) != ERROR_SUCCESS ||
      RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.get()) != ERROR_SUCCESS) {
    return report;
  }
  EnablePerUserTypeLibraries();
  report.outcome = CallServerRegistration(server, EngineMode(task), watch);
  if (report.outcome.result == RegistrationResult::TimedOut) return report;
  MachineWrites writes;
  writes.Walk(machine.get(), L"");
  report.notes = writes.Notes();
  // Half carried over is not registered: the user is told, not reassured.
  if (report.outcome.Succeeded() && writes.Failed()) {
    report.outcome.result = RegistrationResult::NotAllApplied;
  }
  return report;
}

}  // namespace Ostravel
