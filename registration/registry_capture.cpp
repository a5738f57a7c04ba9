#include "registry_capture.h"

#include <map>
#include <set>

#include "capture_text.h"

namespace Ostravel {
namespace {

std::vector<CapturedValue> ReadValues(HKEY key, DWORD count, DWORD longestName, DWORD largestData) {
  std::vector<CapturedValue> values;
  std::vector<wchar_t> name(longestName + 1);
  std::vector<BYTE> data(largestData);
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    CapturedValue value;
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, data.data(), &size) !=
        ERROR_SUCCESS) {
      continue;
    }
    value.name.assign(name.data(), nameLength);
    value.data.assign(data.begin(), data.begin() + size);
    values.push_back(std::move(value));
  }
  return values;
}

// Registry names compare as the registry compares them: without case.
bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The part of `path` below the classes key of `root`, if it lies there: all of
// HKEY_CLASSES_ROOT, and Software\Classes of the user and the machine.
bool BelowClasses(RegistryRoot root, const std::wstring& path, std::wstring& rest) {
  static const std::wstring kClasses = L"Software\\Classes\\";
  if (root == RegistryRoot::ClassesRoot) {
    rest = path;
    return true;
  }
  if ((root == RegistryRoot::CurrentUser || root == RegistryRoot::LocalMachine) &&
      EqualNoCase(path.substr(0, kClasses.size()), kClasses)) {
    rest = path.substr(kClasses.size());
    return true;
  }
  return false;
}

std::wstring FirstComponent(const std::wstring& path) { return path.substr(0, path.find(L'\\')); }

// The folders below the classes key that hold one registration per subkey,
// named by its identifier (CLSID\{...} and so on).
struct Home {
  const wchar_t* folder;
  Registered::Kind kind;
};
constexpr Home kHomes[] = {{L"CLSID", Registered::Kind::Class},
                           {L"TypeLib", Registered::Kind::TypeLib},
                           {L"Interface", Registered::Kind::Interface}};

// The registration `rest` (a path below the classes key) belongs to: its kind,
// its identifier and the path of its own key below the classes key.
bool Owner(const std::wstring& rest, const std::set<std::wstring>& progIds, Registered::Kind& kind,
           std::wstring& id, std::wstring& home) {
  const std::wstring first = FirstComponent(rest);
  for (const Home& candidate : kHomes) {
    if (!EqualNoCase(first, candidate.folder)) continue;
    if (first.size() == rest.size()) return false;
    id = FirstComponent(rest.substr(first.size() + 1));
    home = first + L"\\" + id;
    kind = candidate.kind;
    return true;
  }
  if (!progIds.count(first)) return false;
  kind = Registered::Kind::ProgId;
  id = home = first;
  return true;
}

// A fact's label: the value's own name, or for a default value the last
// component of its key, or "" for the registration key's own default value.
std::wstring Label(const std::wstring& keyBelowHome, const CapturedValue& value) {
  if (!value.name.empty()) return value.name;
  return keyBelowHome.substr(keyBelowHome.find_last_of(L'\\') + 1);
}

}  // namespace

OwnedKey OpenKey(HKEY parent, const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  return OwnedKey(RegOpenKeyExW(parent, path.c_str(), 0, access, &key) == ERROR_SUCCESS ? key
                                                                                        : nullptr);
}

OwnedKey CreateKey(HKEY parent, const std::wstring& path) {
  HKEY key = nullptr;
  return OwnedKey(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS
                      ? key
                      : nullptr);
}

const wchar_t* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot: return L"HKEY_CLASSES_ROOT";
    case RegistryRoot::LocalMachine: return L"HKEY_LOCAL_MACHINE";
    case RegistryRoot::CurrentUser: return L"HKEY_CURRENT_USER";
    case RegistryRoot::Users: return L"HKEY_USERS";
    case RegistryRoot::CurrentConfig: return L"HKEY_CURRENT_CONFIG";
  }
  return L"";
}

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

void ReadTree(HKEY key, RegistryRoot root, const std::wstring& path, Capture& capture) {
  DWORD subkeys = 0, longestSubkey = 0, valueCount = 0, longestName = 0, largestData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                       &valueCount, &longestName, &largestData, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    return;
  }
  // The root itself is no key of the server's unless it set a value there.
  if (valueCount > 0 || (subkeys == 0 && !path.empty())) {
    capture.push_back({root, path, ReadValues(key, valueCount, longestName, largestData)});
  }
  std::vector<wchar_t> name(longestSubkey + 1);
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      continue;
    }
    const std::wstring child(name.data(), length);
    if (const OwnedKey sub = OpenKey(key, child, KEY_READ)) {
      ReadTree(sub.get(), root, path.empty() ? child : path + L"\\" + child, capture);
    }
  }
}

std::vector<Registered> Recognise(const Capture& capture) {
  // A ProgID is a key right below the classes key that names its class in a
  // CLSID subkey.
  std::set<std::wstring> progIds;
  for (const CapturedKey& key : capture) {
    std::wstring rest;
    if (!BelowClasses(key.root, key.path, rest)) continue;
    const std::wstring first = FirstComponent(rest);
    if (first.empty() || first.front() == L'.' || first.front() == L'{') continue;
    if (EqualNoCase(rest, first + L"\\CLSID")) {
      progIds.insert(first);
    }
  }

  std::vector<Registered> found;
  std::map<std::wstring, std::size_t> byHome;  // root and home path -> index in `found`
  for (const CapturedKey& key : capture) {
    std::wstring rest, id, home;
    Registered::Kind kind;
    if (!BelowClasses(key.root, key.path, rest) || !Owner(rest, progIds, kind, id, home)) continue;
    const std::wstring where = std::wstring(RootName(key.root)) + L"\\" + home;
    auto [entry, added] = byHome.try_emplace(where, found.size());
    if (added) found.push_back({kind, key.root, id, {}});
    Registered& registered = found[entry->second];
    const std::wstring below = rest.size() > home.size() ? rest.substr(home.size() + 1) : L"";
    for (const CapturedValue& value : key.values) {
      registered.facts.emplace_back(Label(below, value), DataText(value));
    }
  }
  return found;
}

}  // namespace Ostravel
