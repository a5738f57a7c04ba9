#include "child_side.h"

#include <array>
#include <cwchar>

#include <objbase.h>
#include <shellapi.h>

#include "child_channel.h"
#include "child_record.h"
#include "owned_handle.h"
#include "per_user_child.h"
#include "preview_child.h"

namespace Ostravel {
namespace {

using toolkit::OwnedHandle;

bool WriteRecord(HANDLE pipe, const Bytes& record) {
  DWORD written = 0;
  return WriteFile(pipe, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
         written == record.size();
}

bool ReadExactly(HANDLE pipe, void* data, DWORD size) {
  auto* bytes = static_cast<std::uint8_t*>(data);
  for (DWORD done = 0; done < size;) {
    DWORD read = 0;
    if (!ReadFile(pipe, bytes + done, size - done, &read, nullptr)) return false;
    done += read;
  }
  return true;
}

std::optional<ChildRequest> ReadRequestFrom(HANDLE pipe) {
  std::array<std::uint8_t, kRecordHeaderSize> head{};
  if (!ReadExactly(pipe, head.data(), head.size())) return std::nullopt;
  const auto header = ReadRecordHeader(head);
  if (!header || header->kind != RecordKind::Request) return std::nullopt;
  Bytes body(header->bodySize);
  if (!ReadExactly(pipe, body.data(), header->bodySize)) return std::nullopt;
  return ReadRequest(body);
}

// Tells the window where the server's code is; a window that cannot be told
// does not have the server loaded.
class PipeWatch final : public LoadWatch {
 public:
  explicit PipeWatch(HANDLE pipe) : pipe_(pipe) {}
  bool AboutToLoad() override { return WriteRecord(pipe_, PhaseRecord(RecordKind::AboutToLoad)); }
  void Loaded() override { WriteRecord(pipe_, PhaseRecord(RecordKind::Loaded)); }

 private:
  HANDLE pipe_;
};

DWORD WINAPI EndAtTheLimit(void* ownJob) {
  Sleep(kChildSelfLimitMs);
  if (ownJob) TerminateJobObject(ownJob, ERROR_TIMEOUT);
  TerminateProcess(GetCurrentProcess(), ERROR_TIMEOUT);
  return 0;
}

// Ends this child and all it started at kChildSelfLimitMs, whatever it or the
// server does then: an elevated child may be one the window cannot end. In a
// job of its own where the system allows nesting, so that processes the
// server started end with it. The job's handle lives as long as the process.
void BoundSelf() {
  const HANDLE job = NewKillOnCloseJob().release();
  const bool inJob = job && AssignProcessToJobObject(job, GetCurrentProcess());
  const OwnedHandle watchdog(
      CreateThread(nullptr, 0, EndAtTheLimit, inJob ? job : nullptr, 0, nullptr));
}

// The id is a GUID's text, nothing else: it becomes part of a pipe's name.
bool IsChildId(const wchar_t* id) {
  GUID guid{};
  return std::wcslen(id) == 38 && SUCCEEDED(CLSIDFromString(id, &guid));
}

[[noreturn]] void RunChild(HANDLE pipe, const ChildRequest& request, FileInspector inspect) {
  PipeWatch watch(pipe);
  ChildReport report;
  const FileInspection inspection =
      inspect ? inspect(request.path, request.task) : FileInspection{};
  if (inspection.outcomeBeforeLoad) {
    report.outcome = *inspection.outcomeBeforeLoad;
  } else
    switch (request.task) {
      case ServerTask::Register:
      case ServerTask::Unregister:
        if (request.scope == RegistrationScope::CurrentUser) {
          report =
              RegistrationForCurrentUser(request.privateKey, request.path, request.task, &watch);
        } else {
          report.outcome = CallServerRegistration(request.path, EngineMode(request.task), &watch);
        }
        break;
      case ServerTask::Preview:
        report.outcome = RegistrationInPreviewKey(request.privateKey, request.path, &watch);
        break;
    }
  if (!report.outcome.Succeeded() && inspection.explain) {
    for (std::wstring& line : inspection.explain(report.outcome))
      report.notes.push_back(std::move(line));
  }
  // Flushing waits until the window has read it all; then the process ends at
  // once: no code of the server (a worker still running, its DLL's detach)
  // runs after this. ExitProcess is only the compiler's assurance.
  WriteRecord(pipe, OutcomeRecord(report));
  FlushFileBuffers(pipe);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(report.outcome.result));
  ExitProcess(static_cast<UINT>(report.outcome.result));
}

}  // namespace

std::optional<int> RunServerChildIfAsked(FileInspector inspect) {
  int count = 0;
  const toolkit::OwnedLocal<LPWSTR> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!arguments || count != 3 || std::wcscmp(arguments.get()[1], kChildSwitch) != 0) {
    return std::nullopt;
  }
  // As the tool itself: never load a DLL from the current folder.
  SetDllDirectoryW(L"");
  BoundSelf();
  const wchar_t* id = arguments.get()[2];
  if (!IsChildId(id)) return ERROR_INVALID_PARAMETER;
  // Identification only: whoever holds the pipe's other end may learn who
  // this child is, never act as it.
  const OwnedHandle pipe = toolkit::OwnFile(
      CreateFileW(PipeName(id).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  if (!pipe) return static_cast<int>(GetLastError());
  if (!WriteRecord(pipe.get(), HelloRecord())) return static_cast<int>(GetLastError());
  const std::optional<ChildRequest> request = ReadRequestFrom(pipe.get());
  if (!request) return ERROR_INVALID_DATA;
  // Such a window names the difference once it has read this child's Hello.
  if (request->toolVersion != kToolVersion) {
    FlushFileBuffers(pipe.get());
    return ERROR_REVISION_MISMATCH;
  }
  RunChild(pipe.get(), *request, inspect);
}

}  // namespace Ostravel
