#pragma once
// The running executable's file name without folder and extension.
#include <string>

namespace toolkit {

std::wstring ExecutableBaseName();

}  // namespace toolkit
