#pragma once
// The records a window and the child that runs a server for it exchange over
// their pipe: the request one way; the phases of the server's load and the
// outcome the other way. Every record is a header (the size of what follows,
// the format's version, the kind) and a body of fixed-width little-endian
// fields and counted UTF-16 texts. The child runs a server's code, so the
// window reads every field with its bounds checked and takes nothing it does
// not expect.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ostravel.h"

namespace Ostravel {

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
};

// What the child tells about the server it runs, in this order.
enum class RecordKind : std::uint16_t { Request = 1, AboutToLoad = 2, Loaded = 3, Outcome = 4 };

struct ChildReport {
  RegistrationOutcome outcome;
  std::vector<std::wstring> notes;  // lines shown under the outcome's message
};

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
Bytes RequestRecord(const ChildRequest& request);
Bytes PhaseRecord(RecordKind phase);  // AboutToLoad or Loaded
Bytes OutcomeRecord(const ChildReport& report);

// Nothing when the header is not one of this version, of a known kind, with a
// body of an acceptable size.
std::optional<RecordHeader> ReadRecordHeader(
    const std::array<std::uint8_t, kRecordHeaderSize>& data);
// Nothing unless the body holds exactly one well-formed record of its kind.
std::optional<ChildRequest> ReadRequest(const Bytes& body);
std::optional<ChildReport> ReadOutcome(const Bytes& body);

}  // namespace Ostravel
