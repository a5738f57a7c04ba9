#include "registry_keys.h"

#include <cstring>
#include <vector>

#include <winternl.h>

namespace Ostravel {
namespace {

// The key itself, by handle: RegDeleteKeyW opens the name again and would
// follow a link to its target. Taken from ntdll when first needed, as the SDK
// documents it without an import library, and so that the tool imports only
// the usual system DLLs.
LSTATUS DeleteOpenKey(HKEY key) {
  using NtDeleteKeyFunction = NTSTATUS(NTAPI*)(HANDLE);
  static const auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  if (!deleteKey) return ERROR_PROC_NOT_FOUND;
  using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);
  static const auto toError =
      reinterpret_cast<RtlNtStatusToDosErrorFunction>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
  const NTSTATUS status = deleteKey(key);
  if (status >= 0) return ERROR_SUCCESS;
  return toError ? static_cast<LSTATUS>(toError(status)) : ERROR_ACCESS_DENIED;
}

constexpr REGSAM kDeleteAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;

// A server may leave a key that denies everyone everything; its owner, the
// user the tool runs as, may still rewrite the access list. It is about to be
// deleted, so an empty-handed (null) list is enough.
void LetOwnerIn(HKEY parent, const std::wstring& name) {
  const OwnedKey key = OpenUnfollowed(parent, name, WRITE_DAC);
  if (!key) return;
  SECURITY_DESCRIPTOR open{};
  if (InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE)) {
    RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &open);
  }
}

OwnedKey OpenToDelete(HKEY parent, const std::wstring& name, LSTATUS& error) {
  OwnedKey key = OpenUnfollowed(parent, name, kDeleteAccess, &error);
  if (!key && error == ERROR_ACCESS_DENIED) {
    LetOwnerIn(parent, name);
    key = OpenUnfollowed(parent, name, kDeleteAccess, &error);
  }
  return key;
}

// The n-th subkey's name, or the enumeration's error.
LSTATUS SubkeyName(HKEY key, DWORD index, std::wstring& name) {
  wchar_t buffer[256];  // the registry's longest key name and its terminator
  DWORD length = 256;
  const LSTATUS status =
      RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) name.assign(buffer, length);
  return status;
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

// REG_OPTION_OPEN_LINK applies to the last name of a path only, so each name
// is opened on its own.
OwnedKey OpenUnfollowed(HKEY parent, const std::wstring& path, REGSAM access, LSTATUS* error) {
  OwnedKey opened;
  HKEY at = parent;
  std::size_t start = 0;
  LSTATUS status = ERROR_SUCCESS;
  do {
    const std::size_t end = path.find(L'\\', start);
    const std::wstring name = path.substr(start, end - start);
    const bool last = end == std::wstring::npos;
    HKEY key = nullptr;
    status = RegOpenKeyExW(at, name.c_str(), REG_OPTION_OPEN_LINK,
                           last ? access : KEY_ENUMERATE_SUB_KEYS, &key);
    if (status != ERROR_SUCCESS) {
      opened.reset();
      break;
    }
    opened.reset(key);
    at = key;
    start = last ? path.size() + 1 : end + 1;
  } while (start <= path.size());
  if (error) *error = status;
  return opened;
}

std::wstring RegistryName(HKEY key) {
  using NtQueryKeyFunction = NTSTATUS(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static const auto queryKey = reinterpret_cast<NtQueryKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  if (!queryKey) return {};
  std::vector<BYTE> buffer(4096);
  ULONG needed = 0;
  if (queryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
               &needed) < 0) {
    return {};
  }
  ULONG bytes = 0;
  std::memcpy(&bytes, buffer.data(), sizeof bytes);
  if (bytes > buffer.size() - sizeof bytes) return {};
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof bytes),
                      bytes / sizeof(wchar_t));
}

// Depth first with a stack of its own rather than the call stack: nothing
// bounds how deep a server nests its keys.
LSTATUS DeleteTreeUnfollowed(HKEY parent, const std::wstring& name) {
  struct Level {
    OwnedKey key;
    DWORD kept = 0;  // subkeys that could not be deleted, enumerated past
  };
  LSTATUS first = ERROR_SUCCESS;
  const auto note = [&](LSTATUS status) {
    if (first == ERROR_SUCCESS && status != ERROR_SUCCESS) first = status;
  };
  std::vector<Level> levels;
  LSTATUS status = ERROR_SUCCESS;
  if (OwnedKey top = OpenToDelete(parent, name, status)) {
    levels.push_back({std::move(top)});
  } else {
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }
  std::wstring child;
  while (!levels.empty()) {
    Level& level = levels.back();
    status = SubkeyName(level.key.get(), level.kept, child);
    if (status == ERROR_SUCCESS) {
      if (OwnedKey key = OpenToDelete(level.key.get(), child, status)) {
        levels.push_back({std::move(key)});
      } else if (status != ERROR_FILE_NOT_FOUND) {
        note(status);
        ++level.kept;
      }
      continue;
    }
    if (status != ERROR_NO_MORE_ITEMS) note(status);
    const LSTATUS deleted = level.kept == 0 && status == ERROR_NO_MORE_ITEMS
                                ? DeleteOpenKey(level.key.get())
                                : ERROR_DIR_NOT_EMPTY;
    note(deleted);
    levels.pop_back();
    if (deleted != ERROR_SUCCESS && !levels.empty()) ++levels.back().kept;
  }
  return first;
}

LSTATUS DeleteIfEmpty(HKEY parent, const std::wstring& name) {
  LSTATUS status = ERROR_SUCCESS;
  const OwnedKey key = OpenUnfollowed(parent, name, KEY_QUERY_VALUE | DELETE, &status);
  if (!key) return status;
  DWORD subkeys = 0;
  status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  return subkeys == 0 ? DeleteOpenKey(key.get()) : ERROR_DIR_NOT_EMPTY;
}

}  // namespace Ostravel
