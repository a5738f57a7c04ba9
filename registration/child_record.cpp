#include "child_record.h"

namespace Ostravel {

const wchar_t kToolVersion[] = CORVANTIS_TOOL_VERSION;

namespace {

// A version's text is a few numbers and dots.
constexpr std::uint32_t kMaxHelloBody = 4 + 2 * 64;

class Writer {
 public:
  explicit Writer(RecordKind kind) {
    Put32(0);  // the body's size, once known
    Put16(kRecordVersion);
    Put16(static_cast<std::uint16_t>(kind));
  }
  void Put16(std::uint16_t value) { PutBytes(value, 2); }
  void Put32(std::uint32_t value) { PutBytes(value, 4); }
  void PutText(const std::wstring& text) {
    Put32(static_cast<std::uint32_t>(text.size()));
    for (wchar_t c : text) Put16(static_cast<std::uint16_t>(c));
  }
  Bytes Finish() {
    const auto size = static_cast<std::uint32_t>(bytes_.size() - kRecordHeaderSize);
    for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<std::uint8_t>(size >> (8 * i));
    return std::move(bytes_);
  }

 private:
  void PutBytes(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  Bytes bytes_;
};

// Every read fails once one has run past the end; the record is good only if
// all succeeded and nothing is left over.
class Reader {
 public:
  explicit Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t Get(int count) {
    if (!ok_ || size_ - at_ < static_cast<std::size_t>(count)) {
      ok_ = false;
      return 0;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(data_[at_ + i]) << (8 * i);
    at_ += count;
    return value;
  }
  std::uint16_t Get16() { return static_cast<std::uint16_t>(Get(2)); }
  std::uint32_t Get32() { return Get(4); }
  std::wstring GetText() {
    const std::uint32_t length = Get32();
    // Checked before anything is allocated for it.
    if (!ok_ || length > (size_ - at_) / 2) {
      ok_ = false;
      return {};
    }
    std::wstring text(length, L'\0');
    for (wchar_t& c : text) c = static_cast<wchar_t>(Get16());
    return text;
  }
  bool Ok() const { return ok_; }
  bool Complete() const { return ok_ && at_ == size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

bool KnownResult(std::int32_t value) {
  return value >= static_cast<std::int32_t>(RegistrationResult::NothingDone) &&
         value <= static_cast<std::int32_t>(RegistrationResult::NotAllApplied);
}

}  // namespace

Bytes HelloRecord(const std::wstring& toolVersion) {
  Writer writer(RecordKind::Hello);
  writer.PutText(toolVersion);
  return writer.Finish();
}

Bytes RequestRecord(const ChildRequest& request) {
  Writer writer(RecordKind::Request);
  writer.Put32(static_cast<std::uint32_t>(request.task));
  writer.Put32(static_cast<std::uint32_t>(request.scope));
  writer.PutText(request.path);
  writer.PutText(request.privateKey);
  writer.PutText(request.toolVersion);
  return writer.Finish();
}

Bytes PhaseRecord(RecordKind phase) { return Writer(phase).Finish(); }

Bytes OutcomeRecord(const ChildReport& report) {
  Writer writer(RecordKind::Outcome);
  writer.Put32(static_cast<std::uint32_t>(report.outcome.result));
  writer.Put32(report.outcome.detail);
  writer.Put16(static_cast<std::uint16_t>(report.outcome.machine));
  writer.Put32(static_cast<std::uint32_t>(report.notes.size()));
  for (const std::wstring& note : report.notes) writer.PutText(note);
  return writer.Finish();
}

std::optional<RecordHeader> ReadRecordHeader(
    const std::array<std::uint8_t, kRecordHeaderSize>& data) {
  Reader reader(data.data(), data.size());
  const std::uint32_t size = reader.Get32();
  const std::uint16_t version = reader.Get16();
  const auto kind = static_cast<RecordKind>(reader.Get16());
  if (kind == RecordKind::Hello && size <= kMaxHelloBody) return RecordHeader{size, kind};
  if (version != kRecordVersion || size > kMaxRecordBody) return std::nullopt;
  switch (kind) {
    case RecordKind::Request:
    case RecordKind::Outcome: return RecordHeader{size, kind};
    case RecordKind::Hello: break;
    case RecordKind::AboutToLoad:
    case RecordKind::Loaded:
      if (size == 0) return RecordHeader{size, kind};
      break;
  }
  return std::nullopt;
}

std::optional<ChildRequest> ReadRequest(const Bytes& body) {
  Reader reader(body.data(), body.size());
  ChildRequest request;
  const auto task = static_cast<std::int32_t>(reader.Get32());
  const auto scope = static_cast<std::int32_t>(reader.Get32());
  request.path = reader.GetText();
  request.privateKey = reader.GetText();
  request.toolVersion = reader.GetText();
  if (!reader.Complete() || task < static_cast<std::int32_t>(ServerTask::Register) ||
      task > static_cast<std::int32_t>(ServerTask::Preview) ||
      scope < static_cast<std::int32_t>(RegistrationScope::AsTheServerWrites) ||
      scope > static_cast<std::int32_t>(RegistrationScope::CurrentUser)) {
    return std::nullopt;
  }
  request.task = static_cast<ServerTask>(task);
  request.scope = static_cast<RegistrationScope>(scope);
  return request;
}

std::optional<ChildReport> ReadOutcome(const Bytes& body) {
  Reader reader(body.data(), body.size());
  ChildReport report;
  const auto result = static_cast<std::int32_t>(reader.Get32());
  report.outcome.detail = reader.Get32();
  report.outcome.machine = static_cast<Machine>(reader.Get16());
  const std::uint32_t count = reader.Get32();
  // Each note takes at least its length field: a larger count is a lie.
  if (count > body.size() / 4) return std::nullopt;
  for (std::uint32_t i = 0; i < count && reader.Ok(); ++i) report.notes.push_back(reader.GetText());
  if (!reader.Complete() || !KnownResult(result)) {
    return std::nullopt;
  }
  report.outcome.result = static_cast<RegistrationResult>(result);
  return report;
}

std::optional<std::wstring> ReadHello(const Bytes& body) {
  Reader reader(body.data(), body.size());
  std::wstring version = reader.GetText();
  if (!reader.Complete()) return std::nullopt;
  return version;
}

}  // namespace Ostravel
