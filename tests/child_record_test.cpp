// The records between the window and a child: what one side writes the other
// reads back exactly, and the window takes nothing malformed from a child whose
// process a server may have written into.
#include <gtest/gtest.h>

#include "child_record.h"

namespace {

using namespace Ostravel;

std::array<std::uint8_t, kRecordHeaderSize> HeadOf(const Bytes& record) {
  std::array<std::uint8_t, kRecordHeaderSize> head{};
  std::copy_n(record.begin(), kRecordHeaderSize, head.begin());
  return head;
}
Bytes BodyOf(const Bytes& record) {
  return Bytes(record.begin() + kRecordHeaderSize, record.end());
}

const ChildReport kReport{{RegistrationResult::NotLoadable, 126, Machine::X86},
                          {L"缺少 helper.dll", L""}};

TEST(ChildRecord, ARequestAndAnOutcomeArriveExactly) {
  // Quotes, spaces, a NUL and text beyond the basic plane: no quoting anywhere.
  const ChildRequest request{ServerTask::Preview, RegistrationScope::AsTheServerWrites,
                             std::wstring(L"C:\\a \"b\"\\控件\0x.ocx", 17) + L"\U0001F600",
                             L"{0-1}"};
  const Bytes record = RequestRecord(request);
  const auto header = ReadRecordHeader(HeadOf(record));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->kind, RecordKind::Request);
  const auto read = ReadRequest(BodyOf(record));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->task, request.task);
  EXPECT_EQ(read->path, request.path);
  EXPECT_EQ(read->privateKey, request.privateKey);
  EXPECT_EQ(read->toolVersion, kToolVersion);

  const auto report = ReadOutcome(BodyOf(OutcomeRecord(kReport)));
  ASSERT_TRUE(report);
  EXPECT_EQ(report->outcome.result, kReport.outcome.result);
  EXPECT_EQ(report->outcome.detail, kReport.outcome.detail);
  EXPECT_EQ(report->outcome.machine, kReport.outcome.machine);
  EXPECT_EQ(report->notes, kReport.notes);
}

TEST(ChildRecord, EveryCutOrPaddedOutcomeIsRefused) {
  const Bytes body = BodyOf(OutcomeRecord(kReport));
  for (std::size_t size = 0; size < body.size(); ++size) {
    EXPECT_FALSE(ReadOutcome(Bytes(body.begin(), body.begin() + size))) << size;
  }
  Bytes padded = body;
  padded.push_back(0);
  EXPECT_FALSE(ReadOutcome(padded));
}

TEST(ChildRecord, LyingCountsAndUnknownValuesAreRefused) {
  // A note count and a text length far beyond the body: refused before any
  // allocation of that size.
  Bytes body = BodyOf(OutcomeRecord({{RegistrationResult::Registered}, {L"x"}}));
  Bytes manyNotes = body;
  manyNotes[10] = manyNotes[11] = manyNotes[12] = manyNotes[13] = 0xFF;
  EXPECT_FALSE(ReadOutcome(manyNotes));
  Bytes longText = body;
  longText[14] = longText[15] = longText[16] = longText[17] = 0xFF;
  EXPECT_FALSE(ReadOutcome(longText));
  Bytes unknownResult = body;
  unknownResult[0] = 9;
  EXPECT_FALSE(ReadOutcome(unknownResult));

  Bytes request = BodyOf(
      RequestRecord({ServerTask::Register, RegistrationScope::AsTheServerWrites, L"a", L""}));
  request[0] = 4;
  EXPECT_FALSE(ReadRequest(request)) << "no such task";

  const Bytes phase = PhaseRecord(RecordKind::Loaded);
  ASSERT_TRUE(ReadRecordHeader(HeadOf(phase)));
  auto head = HeadOf(phase);
  head[0] = 1;
  EXPECT_FALSE(ReadRecordHeader(head)) << "a phase carries no body";
  head = HeadOf(phase);
  head[4] = 2;
  EXPECT_FALSE(ReadRecordHeader(head)) << "another version";
  head = HeadOf(phase);
  head[6] = 9;
  EXPECT_FALSE(ReadRecordHeader(head)) << "no such kind";
  head = HeadOf(OutcomeRecord(kReport));
  head[3] = 0x7F;
  EXPECT_FALSE(ReadRecordHeader(head)) << "larger than any record of ours";
}

// The Hello is the one record every format version keeps as it is: a window
// reads it from a child of any version, to name that version.
TEST(ChildRecord, AHelloIsReadFromAChildOfAnyFormatVersion) {
  const Bytes hello = HelloRecord(L"0.1.0.5");
  const Bytes layout{18, 0,   0, 0,   1, 0,   5, 0,   7, 0,   0, 0,   '0',
                     0,  '.', 0, '1', 0, '.', 0, '0', 0, '.', 0, '5', 0};
  EXPECT_EQ(hello, layout);
  auto head = HeadOf(hello);
  head[4] = 9;
  const auto header = ReadRecordHeader(head);
  ASSERT_TRUE(header) << "a later format's Hello";
  EXPECT_EQ(header->kind, RecordKind::Hello);
  EXPECT_EQ(ReadHello(BodyOf(hello)), L"0.1.0.5");
  EXPECT_EQ(ReadHello(BodyOf(HelloRecord())), std::wstring(kToolVersion));

  head[1] = 1;
  EXPECT_FALSE(ReadRecordHeader(head)) << "longer than any version";
  Bytes cut = BodyOf(hello);
  cut.pop_back();
  EXPECT_FALSE(ReadHello(cut));
}

}  // namespace
