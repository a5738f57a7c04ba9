#pragma once
// What the window tells the user after a registration call: the success text,
// or the failure text (the fixed sentence with the path right after it) and,
// on a line of its own, why it failed; then what the child noted (the causes
// it found in the file and the DLLs it needs) on lines of their own. Shown
// only once the outcome is known. It reads no file: the run carries what it
// says about the file.
#include <cstdint>
#include <string>

#include "child_record.h"
#include "ostravel.h"
#include "server_child.h"

// A report as a list shows it beside the file: the success text or the
// failure sentence, and the reason with the notes, empty on a plain success.
struct ReportLine {
  std::wstring outcome;
  std::wstring reason;
  bool succeeded = false;
};
// The child's end where the server's outcome is not what ended it. A success
// for the current user only says so.
ReportLine RegistrationReportLine(
    const std::wstring& path, Ostravel::ServerTask task, const Ostravel::ServerRun& run,
    Ostravel::RegistrationScope scope = Ostravel::RegistrationScope::AsTheServerWrites);

std::wstring RegistrationReport(
    const std::wstring& path, Ostravel::ServerTask task, const Ostravel::ServerRun& run,
    Ostravel::RegistrationScope scope = Ostravel::RegistrationScope::AsTheServerWrites);
// The same for an outcome of the engine alone, with no notes.
std::wstring RegistrationReport(const std::wstring& path, Ostravel::ServerTask task,
                                const Ostravel::RegistrationOutcome& outcome);

// The server refused for lack of rights: a machine-wide registration that may
// succeed for the current user only, or as administrator.
bool LackedRights(const Ostravel::ServerRun& run);

// Asked below such a failure: "Yes" retries for the current user only, "No"
// as administrator, "Cancel" not at all.
std::wstring RetryQuestion(Ostravel::ServerTask task);

// The entry point a task runs, by name: a preview runs DllRegisterServer.
std::wstring EntryPointText(Ostravel::ServerTask task);

// The failure text for a path that names a folder, which is never handed to
// the registration call.
std::wstring FolderPathReport(const std::wstring& path);

// The failure text for a path that names nothing, as registering it would give.
std::wstring MissingPathReport(const std::wstring& path);
