#pragma once
// Where a path's last component begins: after its last backslash or slash, or
// after the drive of a path such as "C:name". The one way the product takes a
// file's name from a path, and the folder in front of it.
#include <string>
#include <string_view>

namespace toolkit {

inline std::wstring_view FileNameOf(std::wstring_view path) {
  const auto separator = path.find_last_of(L"\\/:");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// The folder with its trailing separator, empty for a bare name.
inline std::wstring_view FolderOf(std::wstring_view path) {
  return path.substr(0, path.size() - FileNameOf(path).size());
}

}  // namespace toolkit
