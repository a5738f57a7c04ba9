#pragma once
// What the window tells the user after a registration call: the success text,
// or the failure text (the fixed sentence with the path right after it) and,
// on a line of its own, why it failed, with a line per cause found in the
// file and the DLLs it needs. Shown only once the outcome is known.
#include <cstdint>
#include <string>

#include "ostravel.h"

// A report as a list shows it beside the file: the success text or the
// failure sentence, and the reason, empty on success.
struct ReportLine {
  std::wstring outcome;
  std::wstring reason;
};
ReportLine RegistrationReportLine(const std::wstring& path, std::int32_t mode,
                                  const Ostravel::RegistrationOutcome& outcome);

std::wstring RegistrationReport(const std::wstring& path, std::int32_t mode,
                                const Ostravel::RegistrationOutcome& outcome);

// The entry point a mode runs, by name; a mode that selects none gives a
// word for registration in general.
std::wstring EntryPointText(std::int32_t mode);

// The failure text for a path that names a folder, which is never handed to
// the registration call.
std::wstring FolderPathReport(const std::wstring& path);

// The failure text for a path that names nothing, as registering it would give.
std::wstring MissingPathReport(const std::wstring& path);
