#pragma once
// The child's side of running a server (the window's is server_child.h): a
// copy of the tool started with the private switch takes its request from the
// window's pipe, bounds its own life, runs the server and reports on the pipe.
// It trusts the window, which started it, and nothing else.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ostravel.h"

namespace Ostravel {

// What a child learns from a file's bytes before it runs any of its code: an
// outcome that makes loading it pointless, and the lines that explain the
// outcome the call ends in. The tool's entry point supplies the reader.
struct FileInspection {
  std::optional<RegistrationOutcome> outcomeBeforeLoad;
  std::function<std::vector<std::wstring>(const RegistrationOutcome&)> explain;
};
using FileInspector = FileInspection (*)(const std::wstring& path, ServerTask task);

// The first thing the executable's entry point calls. In a child started by
// RunServer it runs the request and ends the process; it returns a code only
// when that child could not even take its request. In any other process it
// returns nothing at once.
std::optional<int> RunServerChildIfAsked(FileInspector inspect = nullptr);

}  // namespace Ostravel
