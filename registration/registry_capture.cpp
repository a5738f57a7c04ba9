#include "registry_capture.h"

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

}  // namespace Ostravel
