#pragma once
// What a server wrote to the registry, as plain data: every key that carries
// values, has nothing below it, is a link or could not be read, under the
// predefined root the server named. Reading never changes the tree, never
// follows a link, and stops at bounds that no real server reaches.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "registry_keys.h"
#include "registry_roots.h"

namespace Ostravel {

struct CapturedValue {
  std::wstring name;  // empty for the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  bool operator==(const CapturedValue&) const = default;
};

struct CapturedKey {
  RegistryRoot root = RegistryRoot::ClassesRoot;
  std::wstring path;  // below the root, without a leading backslash
  std::vector<CapturedValue> values;
  // A link: where it leads, as a root path ("HKEY_CLASSES_ROOT\...") when into
  // the capture, else as the registry names the key ("\REGISTRY\...").
  std::optional<std::wstring> link;
  bool linkLeaves = false;  // the link leads out of the capture
  // Not ERROR_SUCCESS: the key, or what lies below it, could not be read.
  LSTATUS error = ERROR_SUCCESS;

  bool operator==(const CapturedKey&) const = default;
};

// COM's deepest layout, TypeLib\{libid}\1.0\0\win32 below
// HKLM\Software\WOW6432Node\Classes, is 9 names deep; the largest type
// libraries (a thousand or two interfaces of four keys each) register under
// ten thousand keys; and a registration's data (paths, names, a few small
// binaries) comes to kilobytes, where the registry's older format held at
// most 1 MB in a value. Beyond these a server is hostile or broken, and its
// capture is cut: the bounds keep the reading to seconds and the memory well
// within a 32-bit process.
inline constexpr std::size_t kCaptureDepth = 32;
inline constexpr std::size_t kCaptureKeys = 25000;
inline constexpr std::size_t kCaptureBytes = 16u << 20;  // names and data

struct CaptureCut {
  enum class Reason { Depth, Keys, Bytes } reason;
  RegistryRoot root;
  std::wstring path;  // the key at which reading stopped

  bool operator==(const CaptureCut&) const = default;
};

struct Capture {
  std::vector<CapturedKey> keys;
  std::optional<CaptureCut> cut;  // reading stopped here; nothing after it was read
  // Made for a 32-bit server on a 64-bit Windows: its writes belong in the
  // 32-bit view.
  bool wow64 = false;

  bool empty() const { return keys.empty() && !cut; }
  bool operator==(const Capture&) const = default;
};

// Everything below a preview's private key, one subkey per root (its
// redirect target).
Capture ReadCapture(HKEY privateKey);

// The tree below `base`, which stands for `path` below `root`.
Capture ReadTree(HKEY base, RegistryRoot root, const std::wstring& path);

}  // namespace Ostravel
