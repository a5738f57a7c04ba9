#include "registry_capture.h"

#include <cstring>

namespace Ostravel {
namespace {

constexpr REGSAM kReadAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

bool StartsWithNoCase(const std::wstring& text, const std::wstring& start) {
  return text.size() >= start.size() &&
         CompareStringOrdinal(text.c_str(), static_cast<int>(start.size()), start.c_str(),
                              static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

// A key of the registry by its own name, and the root path it stands for in
// the capture.
struct Place {
  std::wstring registryName;
  std::wstring shownAs;
};

class Reader {
 public:
  explicit Reader(Capture& capture) : capture_(capture) {}

  void Add(Place place) { places_.push_back(std::move(place)); }

  // Reads the key `name` below `parent` (or `parent` itself for an empty
  // name), known in the capture as `path` below `root`.
  void Read(HKEY parent, const std::wstring& name, RegistryRoot root, const std::wstring& path,
            std::size_t depth) {
    if (capture_.cut) return;
    LSTATUS status = ERROR_SUCCESS;
    const OwnedKey key = name.empty() ? OwnedKey(Duplicate(parent, status))
                                      : OpenUnfollowed(parent, name, kReadAccess, &status);
    if (!key) {
      CapturedKey unreadable{root, path, {}, std::nullopt, false, status};
      Keep(std::move(unreadable));
      return;
    }
    if (depth > kCaptureDepth) return Cut(CaptureCut::Reason::Depth, root, path);
    if (++visited_ > kCaptureKeys) return Cut(CaptureCut::Reason::Keys, root, path);

    CapturedKey captured{root, path, {}, std::nullopt, false, ERROR_SUCCESS};
    ReadValues(key.get(), captured);
    if (capture_.cut) return;
    for (const CapturedValue& value : captured.values) {
      if (value.type == REG_LINK && value.name == kSymbolicLinkValue) SetLink(captured, value);
    }

    std::vector<std::wstring> children;
    captured.error =
        captured.error != ERROR_SUCCESS ? captured.error : Subkeys(key.get(), children);
    // A key that only leads to other keys follows from them; the root itself
    // is no key of the server's unless it set a value there.
    if (!captured.values.empty() || captured.link || captured.error != ERROR_SUCCESS ||
        (children.empty() && !path.empty())) {
      Keep(std::move(captured));
    }
    for (const std::wstring& child : children) {
      Read(key.get(), child, root, path.empty() ? child : path + L"\\" + child, depth + 1);
    }
  }

 private:
  static HKEY Duplicate(HKEY key, LSTATUS& status) {
    HKEY copy = nullptr;
    status = RegOpenKeyExW(key, nullptr, 0, kReadAccess, &copy);
    return status == ERROR_SUCCESS ? copy : nullptr;
  }

  void Keep(CapturedKey key) { capture_.keys.push_back(std::move(key)); }

  void Cut(CaptureCut::Reason reason, RegistryRoot root, const std::wstring& path) {
    capture_.cut = CaptureCut{reason, root, path};
  }

  // Values are sized before they are read, so that no buffer is ever larger
  // than what the bound still allows.
  void ReadValues(HKEY key, CapturedKey& captured) {
    std::vector<wchar_t>& name = valueName_;
    for (DWORD i = 0;; ++i) {
      CapturedValue value;
      DWORD nameLength = static_cast<DWORD>(name.size()), size = 0;
      LSTATUS status =
          RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, nullptr, &size);
      if (status == ERROR_NO_MORE_ITEMS) return;
      if (status == ERROR_SUCCESS) {
        bytes_ += nameLength * sizeof(wchar_t) + size;
        if (bytes_ > kCaptureBytes)
          return Cut(CaptureCut::Reason::Bytes, captured.root, captured.path);
        value.data.resize(size);
        nameLength = static_cast<DWORD>(name.size());
        status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type,
                               value.data.data(), &size);
      }
      if (status != ERROR_SUCCESS) {
        // Changed under the reader, or refused: said, not guessed at.
        captured.error = status;
        return;
      }
      value.name.assign(name.data(), nameLength);
      value.data.resize(size);
      captured.values.push_back(std::move(value));
    }
  }

  static LSTATUS Subkeys(HKEY key, std::vector<std::wstring>& children) {
    wchar_t name[256];  // the registry's longest key name and a terminator
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      const LSTATUS status =
          RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (status != ERROR_SUCCESS) return status;
      children.emplace_back(name, length);
    }
  }

  // The target as the capture knows it when it lies inside, else as is.
  void SetLink(CapturedKey& captured, const CapturedValue& value) {
    std::wstring target(value.data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), value.data.data(), target.size() * sizeof(wchar_t));
    while (!target.empty() && target.back() == L'\0') target.pop_back();
    captured.link = target;
    captured.linkLeaves = true;
    for (const Place& place : places_) {
      if (place.registryName.empty() || !StartsWithNoCase(target, place.registryName)) continue;
      const std::wstring rest = target.substr(place.registryName.size());
      if (!rest.empty() && rest.front() != L'\\') continue;
      captured.link = place.shownAs + rest;
      captured.linkLeaves = false;
      return;
    }
  }

  Capture& capture_;
  std::vector<Place> places_;
  std::size_t bytes_ = 0;
  std::size_t visited_ = 0;  // keys, whether kept or not
  // The registry's longest value name and a terminator, once for all keys.
  std::vector<wchar_t> valueName_ = std::vector<wchar_t>(16384);
};

}  // namespace

Capture ReadCapture(HKEY privateKey) {
  Capture capture;
  Reader reader(capture);
  const std::wstring privateName = RegistryName(privateKey);
  for (const PredefinedRoot& root : PredefinedRoots()) {
    reader.Add({privateName.empty() ? L"" : privateName + L"\\" + root.redirectTo, root.name});
  }
  for (const PredefinedRoot& root : PredefinedRoots()) {
    LSTATUS status = ERROR_SUCCESS;
    // A root the server never touched may be missing: it wrote nothing there.
    if (OpenUnfollowed(privateKey, root.redirectTo, kReadAccess, &status) ||
        status != ERROR_FILE_NOT_FOUND) {
      reader.Read(privateKey, root.redirectTo, root.root, L"", 0);
    }
  }
  return capture;
}

Capture ReadTree(HKEY base, RegistryRoot root, const std::wstring& path) {
  Capture capture;
  Reader reader(capture);
  reader.Add({RegistryName(base), std::wstring(RootName(root)) + L"\\" + path});
  reader.Read(base, L"", root, path, 0);
  return capture;
}

}  // namespace Ostravel
