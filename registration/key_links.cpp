#include "key_links.h"

namespace Ostravel {

// The key itself, never where it leads: a server may have made it a link.
OwnedKey OpenOwnKey(HKEY parent, const std::wstring& name, REGSAM access) {
  HKEY key = nullptr;
  return OwnedKey(RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, &key) ==
                          ERROR_SUCCESS
                      ? key
                      : nullptr);
}

bool IsLink(HKEY key) {
  DWORD type = REG_NONE;
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
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

namespace {

// The registry's own limit of nesting: no tree is deeper.
constexpr int kDeepest = 512;

void DeleteOwnTree(HKEY parent, const std::wstring& name, int depth) {
  using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
  static const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  const OwnedKey key = OpenOwnKey(parent, name, KEY_READ | DELETE);
  if (!key || !deleteKey) return;
  if (!IsLink(key.get()) && depth < kDeepest) {
    for (const std::wstring& child : SubkeyNames(key.get())) DeleteOwnTree(key.get(), child, depth + 1);
  }
  deleteKey(key.get());
}

}  // namespace

void DeleteOwnTree(HKEY parent, const std::wstring& name) { DeleteOwnTree(parent, name, 0); }

}  // namespace Ostravel
