#pragma once
// What the good test server leaves in the registry: its class key under HKCU,
// whose InprocServer32 value names the file that registered it; and the two
// reads the registration tests make of any key.
#include <optional>
#include <string>

#include <windows.h>

namespace fixture_registry {

// The path the good server recorded, or nothing when its class is not registered.
std::optional<std::wstring> RegisteredServerPath();

// Removes the class key, so that a test starts from an unregistered server.
void Forget();

bool KeyExists(HKEY root, const std::wstring& path);
// A REG_SZ value of the key (its default one when `name` is null).
std::optional<std::wstring> KeyText(HKEY root, const std::wstring& path,
                                    const wchar_t* name = nullptr);

}  // namespace fixture_registry
