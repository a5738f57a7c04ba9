#pragma once
// The records a window and the child that runs a server for it exchange over
// their pipe: the request one way; the child's Hello (its version), the phases
// of the server's load and the outcome the other way. Every record is a header (the size of what
// follows, the format's version, the kind) and a body of fixed-width little-endian fields and
// counted UTF-16 texts. The child runs a server's code, so the window reads every field with its
// bounds checked and takes nothing it does not expect.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ostravel.h"

namespace Ostravel {

// The version of the tool, as cmake/version.cmake gives it.
extern const wchar_t kToolVersion[];

// Where a registration's writes go: where the server writes them (the machine
// for most), or into the current user's classes only, which needs no rights.
enum class RegistrationScope : std::int32_t { AsTheServerWrites = 0, CurrentUser = 1 };

struct ChildRequest {
  ServerTask task = ServerTask::Register;  // its number travels
  RegistrationScope scope = RegistrationScope::AsTheServerWrites;
  std::wstring path;  // exactly as the user chose it
  // The name of the run's private key: a preview's below kPreviewsKey, a
  // registration's for the current user below kPerUserMachineKey; else empty.
  std::wstring privateKey;
  // The window's: a child of another version runs nothing for it.
  std::wstring toolVersion = kToolVersion;
};

// What the child tells about the server it runs, in this order: first Hello,
// then the phases and the outcome.
enum class RecordKind : std::uint16_t {
  Request = 1,
  AboutToLoad = 2,
  Loaded = 3,
  Outcome = 4,
  Hello = 5,
};

struct ChildReport {
  RegistrationOutcome outcome;
  std::vector<std::wstring> notes;  // lines shown under the outcome's message
};

// Tools before the Hello wrote version 1 too; their requests lack the
// window's version, and a Hello is no kind they know, so such a tool and a
// later one refuse each other before any server runs.
inline constexpr std::uint16_t kRecordVersion = 1;
inline constexpr std::size_t kRecordHeaderSize = 8;

// Room for the longest path twice over and some notes; a longer record is no
// record of ours.
inline constexpr std::uint32_t kMaxRecordBody = 256 * 1024;

struct RecordHeader {
  std::uint32_t bodySize = 0;
  RecordKind kind = RecordKind::Request;
};

using Bytes = std::vector<std::uint8_t>;

// Each returns a whole record, header included.
// The child's first record, whatever else changes: the window and the child
// may come from different installations, and a window meets a child of any
// other version. So the header's layout, the Hello's kind and its body (one
// counted text, the tool's version) are the same in every format version.
Bytes HelloRecord(const std::wstring& toolVersion = kToolVersion);
Bytes RequestRecord(const ChildRequest& request);
Bytes PhaseRecord(RecordKind phase);  // AboutToLoad or Loaded
Bytes OutcomeRecord(const ChildReport& report);

// Nothing when the header is not one of this version (a Hello of any), of a
// known kind, with a body of an acceptable size.
std::optional<RecordHeader> ReadRecordHeader(
    const std::array<std::uint8_t, kRecordHeaderSize>& data);
// Nothing unless the body holds exactly one well-formed record of its kind.
std::optional<ChildRequest> ReadRequest(const Bytes& body);
std::optional<ChildReport> ReadOutcome(const Bytes& body);
std::optional<std::wstring> ReadHello(const Bytes& body);

}  // namespace Ostravel
