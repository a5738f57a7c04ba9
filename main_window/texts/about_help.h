#pragma once
// The fixed texts of the about and help boxes: lines joined by CR LF, with no
// break before the first line or after the last.
#include <string>

std::wstring AboutText();
std::wstring HelpText();
