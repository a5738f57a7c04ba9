#pragma once
// Where the tests find what the build put beside them, and scratch folders of
// their own that go away with everything in them.

#include <filesystem>
#include <string>

namespace test_files {

// The folder that holds the running test program.
std::wstring TestFolder();

// A file built into tests/fixtures.
std::wstring Fixture(const std::wstring& name);

// A fresh folder under the temp folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::wstring Path() const { return path_.wstring(); }
  // The full path of `relative` inside the folder, its folders made.
  std::wstring File(const std::wstring& relative) const;
  // The same, with an empty file made there.
  std::wstring Create(const std::wstring& relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace test_files
