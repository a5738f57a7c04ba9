#include "fixture_registry.h"

#include "../fixtures/fixture.h"

namespace fixture_registry {

std::optional<std::wstring> RegisteredServerPath() {
  wchar_t value[MAX_PATH * 2];
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, FIXTURE_CLSID_KEY L"\\InprocServer32", nullptr, RRF_RT_REG_SZ,
                   nullptr, value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

void Forget() { RegDeleteTreeW(HKEY_CURRENT_USER, FIXTURE_CLSID_KEY); }

}  // namespace fixture_registry
