#pragma once
// The two builds of the tool, one per machine: a server's code loads only into
// the build of its own machine.
#include "image_machine.h"

namespace Ostravel {

struct ToolFile {
  Machine machine;
  const wchar_t* bits;
  const wchar_t* file;
};

inline constexpr ToolFile kToolFiles[] = {{Machine::X86, L"32", L"Corvantis.exe"},
                                          {Machine::X64, L"64", L"Corvantis64.exe"}};

// The build that loads files of `machine`, or null for a machine neither loads.
constexpr const ToolFile* ToolFor(Machine machine) {
  for (const ToolFile& tool : kToolFiles) {
    if (tool.machine == machine) return &tool;
  }
  return nullptr;
}

}  // namespace Ostravel
