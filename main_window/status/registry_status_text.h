#pragma once
// The registration status in words: the window's one line, and the rows of
// its details view.
#include <string>
#include <vector>

#include "registration_status.h"

// Begins with the verdict's own words, then what qualifies it: the other
// file, the count, whether only the current user's keys say so.
std::wstring StatusLineText(const inspection::RegistrationStatus& status);

// One row per registry entry found, and one for an item with none, the type
// library's first: kind, CLSID or LIBID, name, view, scope, verdict, file.
std::vector<std::vector<std::wstring>> StatusRows(const inspection::RegistrationStatus& status);
