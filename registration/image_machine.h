#pragma once
// The machine a file's PE header names, read without loading the file: a file
// the loader refuses may simply be built for the other of the two tools.

#include <cstdint>
#include <string>

namespace Ostravel {

// The values are the header's own (IMAGE_FILE_MACHINE_*); any other machine
// keeps its number.
enum class Machine : std::uint16_t { None = 0, X86 = 0x014C, X64 = 0x8664 };

// The machine of the images this process can load.
inline constexpr Machine kOwnMachine = sizeof(void*) == 8 ? Machine::X64 : Machine::X86;

// None when the file cannot be read or is no PE image.
Machine ReadImageMachine(const std::wstring& path);

}  // namespace Ostravel
