#include "server_files.h"

#include <algorithm>

#include <windows.h>
#include <shellapi.h>

#include "child_channel.h"
#include "owned_handle.h"
#include "registration_report.h"

namespace {

constexpr wchar_t kNoServerFiles[] = L"所选的文件中没有 .ocx 或 .dll 文件。";

bool IsServerFile(const std::wstring& name) {
  const auto dot = name.find_last_of(L'.');
  if (dot == std::wstring::npos) return false;
  const wchar_t* extension = name.c_str() + dot;
  return CompareStringOrdinal(extension, -1, L".ocx", -1, TRUE) == CSTR_EQUAL ||
         CompareStringOrdinal(extension, -1, L".dll", -1, TRUE) == CSTR_EQUAL;
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  full.resize(GetFullPathNameW(path.c_str(), length, full.data(), nullptr));
  return full;
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
  return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

struct FolderEntries {
  std::vector<std::wstring> servers;
  std::vector<std::wstring> subfolders;
};

// A folder's server files and subfolders, each in name order. Links to other
// folders are left alone, so that a folder that leads back into itself cannot
// keep the walk going.
FolderEntries ReadFolder(const std::wstring& folder) {
  FolderEntries entries;
  WIN32_FIND_DATAW found;
  const toolkit::OwnedFind find = toolkit::OwnFind(FindFirstFileExW(
      Joined(folder, L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (!find) return entries;
  do {
    const std::wstring name = found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L".." &&
          !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        entries.subfolders.push_back(Joined(folder, name));
      }
    } else if (IsServerFile(name)) {
      entries.servers.push_back(Joined(folder, name));
    }
  } while (FindNextFileW(find.get(), &found));
  const auto byName = [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  };
  std::sort(entries.servers.begin(), entries.servers.end(), byName);
  std::sort(entries.subfolders.begin(), entries.subfolders.end(), byName);
  return entries;
}

// The folder's own files first, then each subfolder's, depth first.
void CollectServers(const std::wstring& folder, std::vector<std::wstring>& files) {
  FolderEntries entries = ReadFolder(folder);
  files.insert(files.end(), entries.servers.begin(), entries.servers.end());
  for (const std::wstring& subfolder : entries.subfolders) CollectServers(subfolder, files);
}

}  // namespace

ChosenFiles GatherServerFiles(const std::vector<std::wstring>& paths,
                              const std::function<bool(const std::wstring&)>& walkSubfolders) {
  ChosenFiles chosen;
  const auto refuse = [&](std::wstring text) {
    if (chosen.refusal.empty()) chosen.refusal = std::move(text);
  };
  for (const std::wstring& given : paths) {
    if (given.empty()) continue;
    const std::wstring path = FullPath(given);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      refuse(path.back() == L'\\' ? FolderPathReport(path) : MissingPathReport(path));
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      FolderEntries entries = ReadFolder(path);
      const std::size_t before = chosen.files.size();
      chosen.files.insert(chosen.files.end(), entries.servers.begin(), entries.servers.end());
      if (!entries.subfolders.empty() && walkSubfolders(path)) {
        for (const std::wstring& subfolder : entries.subfolders)
          CollectServers(subfolder, chosen.files);
      }
      if (chosen.files.size() == before) refuse(FolderPathReport(path));
    } else if (paths.size() == 1 || IsServerFile(path)) {
      chosen.files.push_back(path);
    }
  }
  if (chosen.files.empty() && chosen.refusal.empty() && !paths.empty()) refuse(kNoServerFiles);
  return chosen;
}

std::vector<std::wstring> CommandLinePaths(const wchar_t* commandLine) {
  int count = 0;
  const toolkit::OwnedLocal<wchar_t*> arguments(CommandLineToArgvW(commandLine, &count));
  std::vector<std::wstring> paths;
  if (!arguments) return paths;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments.get()[i];
    if (Ostravel::IsPrivateSwitch(argument)) return {};
    paths.push_back(argument);
  }
  return paths;
}
