// CallServerRegistration against real servers, good and broken, loaded by the
// real loader.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "architecture.h"
#include "dialog_driver.h"
#include "fixture_registry.h"
#include "fixtures/fixture.h"
#include "ostravel.h"
#include "test_files.h"

using namespace Ostravel;
using architecture::PerArchitecture;
using dialog_driver::WaitUntil;
using fixture_registry::RegisteredServerPath;
using test_files::Fixture;
using Clock = std::chrono::steady_clock;

namespace {

// How many more allocations may succeed; negative: all of them.
std::atomic<long> allocationsLeft{-1};

}  // namespace

// Every allocation of this program goes through here, so that a test can make
// them fail from any point on. The library's operator delete frees with free().
void* operator new(std::size_t size) {
  long left = allocationsLeft.load();
  while (left >= 0 && !allocationsLeft.compare_exchange_weak(left, left - 1)) {
  }
  if (left == 0) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

namespace {

// Lets `count` allocations succeed and fails the rest, until it goes out of scope.
class FailingAllocations {
 public:
  explicit FailingAllocations(long count) { allocationsLeft = count; }
  ~FailingAllocations() { allocationsLeft = -1; }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

bool IsLoaded(const std::wstring& path) { return GetModuleHandleW(path.c_str()) != nullptr; }

// Counts the handles open in this process by asking about every handle value
// in turn: Wine's GetProcessHandleCount does not count them.
int OpenHandleCount() {
  int count = 0;
  for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

void WriteBytes(const std::wstring& path, const std::vector<char>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  if (!bytes.empty())
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<char> ReadBytes(const std::wstring& path, DWORD count) {
  std::vector<char> bytes(count);
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD read = 0;
  ReadFile(file, bytes.data(), count, &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

class Registration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // As the tool does at start-up: never load a DLL from the current directory.
    SetDllDirectoryW(L"");
  }
  void SetUp() override { fixture_registry::Forget(); }
  void TearDown() override { fixture_registry::Forget(); }
};

}  // namespace

TEST_F(Registration, GoodServerRegistersAndUnregistersAndIsReleased) {
  const std::wstring server = Fixture(L"good_server.dll");

  RegistrationOutcome outcome = CallServerRegistration(server, 1);
  EXPECT_EQ(outcome.result, RegistrationResult::Registered);
  EXPECT_TRUE(outcome.Succeeded());
  EXPECT_EQ(RegisteredServerPath(), server);
  EXPECT_FALSE(IsLoaded(server));

  outcome = CallServerRegistration(server, 2);
  EXPECT_EQ(outcome.result, RegistrationResult::Unregistered);
  EXPECT_EQ(RegisteredServerPath(), std::nullopt);
  EXPECT_FALSE(IsLoaded(server));
}

TEST_F(Registration, ModesOtherThanOneAndTwoRunNothing) {
  const std::wstring server = Fixture(L"good_server.dll");
  for (int mode : {0, 3, -1}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(CallServerRegistration(server, mode).result, RegistrationResult::NoEntryPoint);
    EXPECT_EQ(RegisteredServerPath(), std::nullopt);
    EXPECT_FALSE(IsLoaded(server));
  }
  EXPECT_EQ(EntryPointName(3), nullptr);
}

TEST_F(Registration, EmptyOrMissingPath) {
  EXPECT_EQ(CallServerRegistration(L"", 1).result, RegistrationResult::NothingDone);
  const RegistrationOutcome missing = CallServerRegistration(Fixture(L"no_such_server.ocx"), 1);
  EXPECT_EQ(missing.result, RegistrationResult::NotLoadable);
  EXPECT_EQ(missing.detail, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
}

TEST_F(Registration, LibraryWithoutEntryPointsIsReleased) {
  const std::wstring dll = Fixture(L"no_entry_points.dll");
  for (int mode : {1, 2}) {
    EXPECT_EQ(CallServerRegistration(dll, mode).result, RegistrationResult::NoEntryPoint);
    EXPECT_FALSE(IsLoaded(dll));
  }
}

TEST_F(Registration, FailureReportedByTheServerIsNoSuccess) {
  const std::wstring server = Fixture(L"failing_server.dll");
  for (int mode : {1, 2}) {
    const RegistrationOutcome outcome = CallServerRegistration(server, mode);
    EXPECT_EQ(outcome.result, RegistrationResult::EntryPointFailed);
    EXPECT_EQ(outcome.detail, static_cast<std::uint32_t>(E_ACCESSDENIED));
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_FALSE(IsLoaded(server));
  }
}

TEST_F(Registration, CrashingServerLeavesTheCallerWorking) {
  const std::wstring server = Fixture(L"crashing_server.dll");
  const RegistrationOutcome outcome = CallServerRegistration(server, 1);
  EXPECT_EQ(outcome.result, RegistrationResult::EntryPointCrashed);
  EXPECT_EQ(outcome.detail, static_cast<std::uint32_t>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_TRUE(IsLoaded(server)) << "a crashed server's state is unknown: it stays loaded";

  EXPECT_EQ(CallServerRegistration(server, 2).result, RegistrationResult::EntryPointCrashed);
  EXPECT_EQ(CallServerRegistration(Fixture(L"good_server.dll"), 1).result,
            RegistrationResult::Registered);
}

// The server's own handlers on the crashed path run before the worker goes:
// the lock its crashed frame held is free again for the next call.
TEST_F(Registration, ACrashUnwindsTheServersFramesBeforeTheWorkerEnds) {
  const std::wstring server = Fixture(L"unwinding_server.dll");
  EXPECT_EQ(CallServerRegistration(server, 1).result, RegistrationResult::EntryPointCrashed);
  const RegistrationOutcome next = CallServerRegistration(server, 2);
  EXPECT_EQ(next.result, RegistrationResult::Unregistered)
      << "the crashed frame still holds its lock: it was never unwound";
}

// GCC's x64 runtime takes an unwind of its own exception for one it started;
// the guard's unwind must not set it looking for a catch that is not there.
TEST_F(Registration, AnEscapingCxxExceptionIsACrash) {
  if (!architecture::kIs64Bit) {
    GTEST_SKIP() << "GCC's x86 exceptions never reach the system's handlers: one that escapes "
                    "ends the process in the server's own runtime";
  }
  const RegistrationOutcome outcome = CallServerRegistration(Fixture(L"throwing_server.dll"), 1);
  EXPECT_EQ(outcome.result, RegistrationResult::EntryPointCrashed);
  EXPECT_EQ(outcome.detail, 0x20474343u) << "GCC's exception code";
}

TEST_F(Registration, ExceptionsTheServerHandlesItselfAreNoCrash) {
  const std::wstring server = Fixture(L"handled_exceptions_server.dll");
  EXPECT_EQ(CallServerRegistration(server, 1).result, RegistrationResult::Registered)
      << "a C++ exception thrown and caught inside the server";
  EXPECT_EQ(CallServerRegistration(server, 2).result, RegistrationResult::Unregistered)
      << "a debug message";
}

TEST_F(Registration, FilesTheLoaderRefuses) {
  test_files::TempFolder dir;
  const std::wstring text = dir.File(L"readme.ocx");
  const std::wstring empty = dir.File(L"empty.ocx");
  const std::wstring truncated = dir.File(L"truncated.ocx");
  const std::string words = "This is not a library.\r\n";
  WriteBytes(text, {words.begin(), words.end()});
  WriteBytes(empty, {});
  WriteBytes(truncated, ReadBytes(Fixture(L"good_server.dll"), 1024));

  // A server of this process's own machine whose DLL is missing.
  const std::wstring alone = dir.File(L"alone\\needs_helper.dll");
  ASSERT_TRUE(CopyFileW(Fixture(L"beside\\needs_helper.dll").c_str(), alone.c_str(), FALSE));
  const Machine own = PerArchitecture(Machine::X86, Machine::X64);
  const Machine other = PerArchitecture(Machine::X64, Machine::X86);

  struct Case {
    std::wstring path;
    DWORD error;  // 0: any error
    Machine machine;
  };
  for (const Case& c :
       {Case{text, ERROR_BAD_EXE_FORMAT, Machine::None}, Case{empty, 0, Machine::None},
        Case{truncated, 0, own},
        Case{Fixture(L"other_architecture_server.dll"), ERROR_BAD_EXE_FORMAT, other},
        Case{alone, ERROR_MOD_NOT_FOUND, own},
        Case{Fixture(L"refusing_dllmain.dll"), ERROR_DLL_INIT_FAILED, own},
        Case{Fixture(L"crashing_dllmain.dll"), 0, own}}) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.path.begin(), c.path.end())));
    const RegistrationOutcome outcome = CallServerRegistration(c.path, 1);
    EXPECT_EQ(outcome.result, RegistrationResult::NotLoadable);
    if (c.error) {
      EXPECT_EQ(outcome.detail, c.error);
    } else {
      EXPECT_NE(outcome.detail, 0u);
    }
    EXPECT_EQ(outcome.machine, c.machine);
    EXPECT_FALSE(IsLoaded(c.path));
  }
  EXPECT_EQ(RegisteredServerPath(), std::nullopt);
}

TEST_F(Registration, DllBesideTheServerIsFoundFromAnyCurrentDirectory) {
  ASSERT_TRUE(SetCurrentDirectoryW(test_files::TestFolder().c_str()));
  for (const std::wstring& path : {Fixture(L"beside\\needs_helper.dll"),
                                   std::wstring(L"fixtures\\beside\\needs_helper.dll")}) {
    SCOPED_TRACE(testing::PrintToString(std::string(path.begin(), path.end())));
    EXPECT_EQ(CallServerRegistration(path, 1).result, RegistrationResult::Registered);
    EXPECT_FALSE(IsLoaded(Fixture(L"beside\\fixture_helper.dll")));
  }
}

// The loader appends ".dll" to a name without an extension, and a NUL would
// cut the name short: either way another file than the one chosen is loaded.
TEST_F(Registration, TheFileLoadedIsExactlyTheOneNamed) {
  test_files::TempFolder dir;
  const std::wstring server = dir.File(L"server");
  ASSERT_TRUE(CopyFileW(Fixture(L"good_server.dll").c_str(), server.c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileW(Fixture(L"no_entry_points.dll").c_str(), (server + L".dll").c_str(), FALSE));
  EXPECT_EQ(CallServerRegistration(server, 1).result, RegistrationResult::Registered);
  EXPECT_NE(RegisteredServerPath(), std::nullopt);
  EXPECT_EQ(CallServerRegistration(server, 2).result, RegistrationResult::Unregistered);

  const std::wstring cut = Fixture(L"good_server.dll") + L'\0' + L".txt";
  const RegistrationOutcome outcome = CallServerRegistration(cut, 1);
  EXPECT_EQ(outcome.result, RegistrationResult::NotLoadable);
  EXPECT_EQ(outcome.detail, static_cast<std::uint32_t>(ERROR_INVALID_NAME));
  EXPECT_EQ(RegisteredServerPath(), std::nullopt);
}

TEST_F(Registration, ServerUnderChineseNamesKeepsItsPath) {
  test_files::TempFolder dir;
  const std::wstring server = dir.File(L"注册测试目录\\控件服务器.ocx");
  ASSERT_TRUE(CopyFileW(Fixture(L"good_server.dll").c_str(), server.c_str(), FALSE));

  EXPECT_EQ(CallServerRegistration(server, 1).result, RegistrationResult::Registered);
  EXPECT_EQ(RegisteredServerPath(), server);
  EXPECT_EQ(CallServerRegistration(server, 2).result, RegistrationResult::Unregistered);
  EXPECT_EQ(RegisteredServerPath(), std::nullopt);
  EXPECT_FALSE(IsLoaded(server));
}

TEST_F(Registration, RepeatedCallsLeakNoHandles) {
  const std::wstring server = Fixture(L"good_server.dll");
  const std::wstring failing = Fixture(L"failing_server.dll");
  const std::wstring missing = Fixture(L"no_entry_points.dll");
  CallServerRegistration(server, 1);  // let the system make its one-time objects
  const int before = OpenHandleCount();
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(CallServerRegistration(server, 1).result, RegistrationResult::Registered);
    ASSERT_EQ(CallServerRegistration(server, 2).result, RegistrationResult::Unregistered);
    ASSERT_EQ(CallServerRegistration(failing, 1).result, RegistrationResult::EntryPointFailed);
    ASSERT_EQ(CallServerRegistration(missing, 1).result, RegistrationResult::NoEntryPoint);
  }
  EXPECT_EQ(OpenHandleCount(), before);
}

// Wherever an allocation fails, the call reports that nothing was done and
// leaves nothing loaded.
TEST_F(Registration, AFailedAllocationLeavesNothingLoaded) {
  const std::wstring server = Fixture(L"good_server.dll");
  for (long allowed = 0;; ++allowed) {
    SCOPED_TRACE(allowed);
    std::wstring path = server;
    RegistrationOutcome outcome;
    {
      const FailingAllocations failing(allowed);
      outcome = CallServerRegistration(std::move(path), 1);
    }
    EXPECT_FALSE(IsLoaded(server));
    if (outcome.result == RegistrationResult::Registered) break;
    EXPECT_EQ(outcome.result, RegistrationResult::NothingDone);
    ASSERT_LT(allowed, 50) << "the call never succeeds";
  }
}

TEST_F(Registration, HangingServerTimesOutAndIsReleasedWhenItEnds) {
  const std::wstring server = Fixture(L"hanging_server.dll");
  const auto start = Clock::now();
  const RegistrationOutcome outcome = CallServerRegistration(server, 1);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_EQ(outcome.result, RegistrationResult::TimedOut);
  EXPECT_GE(elapsed.count(), 9500);
  EXPECT_LE(elapsed.count(), 12000);

  // Still running: the library must stay while its code may run.
  EXPECT_TRUE(IsLoaded(server));
  EXPECT_EQ(CallServerRegistration(Fixture(L"good_server.dll"), 1).result,
            RegistrationResult::Registered);
  EXPECT_TRUE(WaitUntil([&] { return !IsLoaded(server); }, std::chrono::seconds(10)))
      << "the worker released the library when it ended";
}
