#pragma once
// Which server files a set of paths stands for, however the user named them:
// dropped on the window, or given on the command line. One existing file is
// taken as it is; of several, and in a folder, every .ocx and .dll, in name
// order. A folder's subfolders are walked only when the caller's question is
// answered yes. A path that gives nothing gets the message a registration of
// it would.
#include <functional>
#include <string>
#include <vector>

struct ChosenFiles {
  std::vector<std::wstring> files;
  std::wstring refusal;  // what to tell the user, or empty
};

// `walkSubfolders` is asked once for each given folder that has subfolders.
ChosenFiles GatherServerFiles(
    const std::vector<std::wstring>& paths,
    const std::function<bool(const std::wstring& folder)>& walkSubfolders);

// The paths the tool was started with; none when it was started with a
// switch of its own, which is never a file.
std::vector<std::wstring> CommandLinePaths(const wchar_t* commandLine);
