#pragma once
// What the good test server leaves in the registry: its class key under HKCU,
// whose InprocServer32 value names the file that registered it.
#include <optional>
#include <string>

namespace fixture_registry {

// The path the good server recorded, or nothing when its class is not registered.
std::optional<std::wstring> RegisteredServerPath();

// Removes the class key, so that a test starts from an unregistered server.
void Forget();

}  // namespace fixture_registry
