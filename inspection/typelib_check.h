#pragma once
// A bounds check of a type library's bytes before the system's parser sees
// them. The parser trusts the offsets and counts a library carries; one that
// points outside its own bytes can make it read wild memory. This walks the
// MSFT layout (header, type-info offsets, segment directory, each type info's
// fixed part and member records) and refuses anything that leaves the buffer.
#include <cstddef>
#include <string>

namespace inspection {

// Empty when the bytes hold a library whose structure stays inside them;
// otherwise why not, in words for the user.
std::wstring CheckTypeLibraryBytes(const void* data, std::size_t size);

}  // namespace inspection
