#include "test_files.h"

#include <windows.h>

namespace test_files {

std::wstring TestFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring Fixture(const std::wstring& name) { return TestFolder() + L"\\fixtures\\" + name; }

TempFolder::TempFolder() {
  static int made = 0;
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  path_ =
      std::filesystem::path(base) / (L"corvantis-test-" + std::to_wstring(GetCurrentProcessId()) +
                                     L"-" + std::to_wstring(++made));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::wstring TempFolder::File(const std::wstring& relative) const {
  const std::filesystem::path file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  return file.wstring();
}

std::wstring TempFolder::Create(const std::wstring& relative) const {
  const std::wstring file = File(relative);
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  return file;
}

}  // namespace test_files
