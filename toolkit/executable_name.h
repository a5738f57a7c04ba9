#pragma once
// The running executable's full path, and its file name without folder and
// extension.
#include <string>

namespace toolkit {

// Whole however long (past MAX_PATH); empty if the system gives none.
std::wstring ExecutablePath();

std::wstring ExecutableBaseName();

}  // namespace toolkit
