#include "fixture_registry.h"

#include "../fixtures/fixture.h"

namespace fixture_registry {

std::optional<std::wstring> RegisteredServerPath() {
  return KeyText(HKEY_CURRENT_USER, FIXTURE_CLSID_KEY L"\\InprocServer32");
}

void Forget() { RegDeleteTreeW(HKEY_CURRENT_USER, FIXTURE_CLSID_KEY); }

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<std::wstring> KeyText(HKEY root, const std::wstring& path, const wchar_t* name) {
  wchar_t value[MAX_PATH * 2];
  DWORD size = sizeof value;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

}  // namespace fixture_registry
