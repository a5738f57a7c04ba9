#include "file_drop.h"

#include <fstream>

#include "dialog_driver.h"
#include "test_files.h"

namespace file_drop {
namespace {

using namespace std::chrono_literals;

using UnixFileName = char*(CDECL*)(const wchar_t*);

// Wine's own mapping from a Windows path to the Unix one, which it allocates on
// the process heap; null outside Wine.
UnixFileName UnixNameFunction() {
  return reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::string UnixPath(const std::wstring& path) {
  char* name = UnixNameFunction()(path.c_str());
  if (!name) return {};
  std::string unix(name);
  HeapFree(GetProcessHeap(), 0, name);
  return unix;
}

std::wstring Quoted(const std::string& argument) {
  std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.pop_back();
  return L" \"" + wide + L"\"";
}

}  // namespace

bool Available() { return UnixNameFunction() != nullptr; }

std::string Drop(HWND window, const std::vector<std::wstring>& paths) {
  if (!Available()) return "not under Wine";
  RECT client;
  GetClientRect(window, &client);
  POINT middle{client.right / 2, client.bottom / 2};
  ClientToScreen(window, &middle);

  const test_files::TempFolder folder;
  const std::wstring report = folder.File(L"report");
  const std::wstring helper = test_files::TestFolder() + L"\\xdnd_drop";
  std::wstring commandLine = L"xdnd_drop" + Quoted(std::to_string(middle.x)) +
                             Quoted(std::to_string(middle.y)) + Quoted(UnixPath(report));
  for (const std::wstring& path : paths) commandLine += Quoted(UnixPath(path));

  // Wine runs a Unix program without giving back a process handle: the report
  // file, written whole, is the only sign that it has finished.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(helper.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return "xdnd_drop did not start: error " + std::to_string(GetLastError());
  }
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  if (!dialog_driver::WaitUntil(
          [&] { return GetFileAttributesW(report.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15s)) {
    return "xdnd_drop sent no report";
  }
  std::string line;
  std::getline(std::ifstream(report.c_str()), line);
  return line;
}

}  // namespace file_drop
