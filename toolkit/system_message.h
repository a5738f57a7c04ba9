#pragma once
// The system's own text for a Win32 error or an HRESULT, in the user's
// language, without the line break the system ends it with; empty when the
// system has none. Inserts such as %1 are left as they are.
#include <cstdint>
#include <string>

namespace toolkit {

std::wstring SystemMessage(std::uint32_t code);

}  // namespace toolkit
