// The registration preview against real servers, run in a real child process
// (this test program, started again with the preview's switch), and the
// capture's text forms, the .reg file checked by the system's own `reg import`.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include <windows.h>

#include "architecture.h"
#include "capture_text.h"
#include "dialog_driver.h"
#include "fixture_registry.h"
#include "fixtures/preview_fixtures.h"
#include "preview.h"
#include "preview_samples.h"
#include "recognise.h"
#include "test_files.h"

using namespace Ostravel;
using test_files::Fixture;
using dialog_driver::WaitUntil;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
  // This program is also the child that runs the servers.
  if (auto code = RunServerChildIfAsked()) return *code;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

namespace {

bool KeyExists(HKEY root, const std::wstring& path) {
  return OpenKey(root, path, KEY_READ) != nullptr;
}

// Whether some copy of the late writer is still in its call, and may write.
bool LateWriterRunning() {
  HANDLE running = OpenMutexW(SYNCHRONIZE, FALSE, LATE_WRITER_RUNNING);
  if (!running) return GetLastError() != ERROR_FILE_NOT_FOUND;
  CloseHandle(running);
  return true;
}

const Registered* FindRegistered(const std::vector<Registered>& found, Registered::Kind kind,
                                 const std::wstring& id) {
  for (const Registered& registered : found) {
    if (registered.kind == kind && registered.id == id) return &registered;
  }
  return nullptr;
}

bool HasFact(const Registered* registered, const std::wstring& label, const std::wstring& text) {
  return registered && std::count(registered->facts.begin(), registered->facts.end(),
                                  std::pair{label, text}) == 1;
}

class PreviewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { SetDllDirectoryW(L""); }
  void SetUp() override { RemoveFixtureKeys(); }
  void TearDown() override {
    RemoveFixtureKeys();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPreviewsKey)) << "a preview left its key behind";
  }

  static void RemoveFixtureKeys() {
    fixture_registry::Forget();
    RegDeleteTreeW(HKEY_CURRENT_USER, LATE_WRITER_KEY);
    RegDeleteTreeW(HKEY_CURRENT_USER, kRoundTripKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, MACHINE_FIXTURE_CLASS_KEY);
  }
};

TEST_F(PreviewTest, GoodServerIsCapturedWhileTheRealKeyStaysAbsent) {
  const std::wstring server = Fixture(L"good_server.dll");
  const Preview preview = PreviewRegistration(server);

  EXPECT_EQ(preview.outcome.result, RegistrationResult::Registered);
  const std::vector<Registered> found = Recognise(preview.capture);
  const Registered* type = FindRegistered(found, Registered::Kind::Class, FIXTURE_CLSID);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->root, RegistryRoot::CurrentUser);
  EXPECT_TRUE(HasFact(type, L"InprocServer32", server));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, FIXTURE_CLSID_KEY));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" FIXTURE_CLSID));
}

TEST_F(PreviewTest, MachineWideAndTypeLibraryRegistrationsAreCaptured) {
  const std::wstring machine = Fixture(L"machine_server.dll");
  Preview preview = PreviewRegistration(machine);
  EXPECT_EQ(preview.outcome.result, RegistrationResult::Registered);
  std::vector<Registered> found = Recognise(preview.capture);
  const Registered* type = FindRegistered(found, Registered::Kind::Class, MACHINE_FIXTURE_CLSID);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->root, RegistryRoot::LocalMachine);
  EXPECT_TRUE(HasFact(type, L"", L"Corvantis machine fixture"));
  EXPECT_TRUE(HasFact(type, L"InprocServer32", machine));
  EXPECT_TRUE(HasFact(type, L"ThreadingModel", L"Both"));
  EXPECT_TRUE(HasFact(FindRegistered(found, Registered::Kind::ProgId, MACHINE_FIXTURE_PROGID),
                      L"CLSID", MACHINE_FIXTURE_CLSID));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, MACHINE_FIXTURE_CLASS_KEY));

  preview = PreviewRegistration(Fixture(L"typelib_server.dll"));
  EXPECT_EQ(preview.outcome.result, RegistrationResult::Registered)
      << std::hex << preview.outcome.detail;
  found = Recognise(preview.capture);
  const Registered* library =
      FindRegistered(found, Registered::Kind::TypeLib, TYPELIB_FIXTURE_LIBID);
  ASSERT_NE(library, nullptr);
  const std::wstring fileLabel = architecture::PerArchitecture(L"win32", L"win64");
  const auto file = std::find_if(library->facts.begin(), library->facts.end(),
                                 [&](const auto& fact) { return fact.first == fileLabel; });
  ASSERT_NE(file, library->facts.end());
  EXPECT_EQ(file->second, Fixture(TYPELIB_FIXTURE_FILE));
  EXPECT_NE(FindRegistered(found, Registered::Kind::Interface, TYPELIB_FIXTURE_IID), nullptr);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" TYPELIB_FIXTURE_LIBID));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" TYPELIB_FIXTURE_IID));
}

// A server can turn a key it writes into a link to any key of the user's:
// removing the preview's key removes the link, never what it leads to.
TEST_F(PreviewTest, ALinkTheServerLeavesNeverTakesTheUsersKeyWithThePreview) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET, L"Kept", REG_SZ,
                            L"yes", 8),
            ERROR_SUCCESS);
  EXPECT_EQ(PreviewRegistration(Fixture(L"settings_server.dll")).outcome.result,
            RegistrationResult::Registered);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET));
  RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET);
}

TEST_F(PreviewTest, ServerStillRunningAtTheLimitNeverWritesToTheRealRegistry) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_GO);
  HANDLE written = CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_WRITTEN);
  ResetEvent(go);
  ResetEvent(written);
  const std::wstring server = Fixture(L"late_writer.dll");

  const auto start = Clock::now();
  const Preview preview = PreviewRegistration(server);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_EQ(preview.outcome.result, RegistrationResult::TimedOut);
  EXPECT_GE(elapsed.count(), 9500);
  EXPECT_LE(elapsed.count(), 16000);

  // Let any worker that outlived the preview write now, and wait until no
  // copy of the server is left that could.
  SetEvent(go);
  EXPECT_TRUE(WaitUntil([] { return !LateWriterRunning(); }, 10s))
      << "the server still runs after the preview ended";
  EXPECT_EQ(WaitForSingleObject(written, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the server wrote after the preview ended";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, LATE_WRITER_KEY));

  // The same server run here does write once let go: the check above can fail.
  HMODULE module = LoadLibraryW(server.c_str());
  ASSERT_NE(module, nullptr);
  auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  EXPECT_EQ(entry(), S_OK);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, LATE_WRITER_KEY));
  FreeLibrary(module);
  CloseHandle(written);
  CloseHandle(go);
}

TEST_F(PreviewTest, BadServersGiveTheOutcomesOfARegistration) {
  EXPECT_EQ(PreviewRegistration(L"").outcome.result, RegistrationResult::NothingDone);
  // A type library is a file the loader refuses.
  for (const std::wstring& server :
       {Fixture(L"no_such_server.ocx"), Fixture(TYPELIB_FIXTURE_FILE),
        Fixture(L"other_architecture_server.dll"), Fixture(L"no_entry_points.dll"),
        Fixture(L"failing_server.dll"), Fixture(L"crashing_server.dll")}) {
    SCOPED_TRACE(testing::PrintToString(std::string(server.begin(), server.end())));
    const RegistrationOutcome previewed = PreviewRegistration(server).outcome;
    const RegistrationOutcome registered = CallServerRegistration(server, 1);
    EXPECT_EQ(previewed.result, registered.result);
    EXPECT_EQ(previewed.detail, registered.detail);
    EXPECT_EQ(previewed.machine, registered.machine);
  }
}

TEST_F(PreviewTest, KeysOfDeadPreviewsAreRemovedAndLiveOnesKept) {
  const std::wstring liveName = L"{00000000-0000-0000-0000-00000000A11E}";
  const std::wstring dead =
      std::wstring(kPreviewsKey) + L"\\{00000000-0000-0000-0000-00000000DEAD}";
  const std::wstring live = std::wstring(kPreviewsKey) + L"\\" + liveName;
  ASSERT_TRUE(
      SetText(HKEY_CURRENT_USER, (dead + L"\\HKEY_CURRENT_USER\\Software").c_str(), L"x", L"y"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, live.c_str(), L"x", L"y"));
  HANDLE alive = CreateMutexW(nullptr, FALSE, PreviewMutexName(liveName).c_str());

  EXPECT_EQ(PreviewRegistration(Fixture(L"good_server.dll")).outcome.result,
            RegistrationResult::Registered);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, dead));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, live));

  CloseHandle(alive);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvantis");
}

// The registry lists values by name, whatever order they were written in.
Capture InRegistryOrder(Capture capture) {
  const auto before = [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  };
  for (CapturedKey& key : capture) {
    std::sort(key.values.begin(), key.values.end(),
              [&](const auto& a, const auto& b) { return before(a.name, b.name); });
  }
  std::sort(capture.begin(), capture.end(),
            [&](const auto& a, const auto& b) { return before(a.path, b.path); });
  return capture;
}

TEST_F(PreviewTest, RegFileImportsBackToTheSameTree) {
  const Capture capture = AwkwardCapture();
  test_files::TempFolder dir;
  const std::wstring path = dir.File(L"捕获.reg");
  ASSERT_TRUE(WriteRegFile(path, capture));

  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring reg = std::wstring(system) + L"\\reg.exe";
  std::wstring commandLine = L"\"" + reg + L"\" import \"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(reg.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                             CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_EQ(exitCode, 0u);

  Capture imported;
  const OwnedKey key = OpenKey(HKEY_CURRENT_USER, kRoundTripKey, KEY_READ);
  ASSERT_NE(key, nullptr);
  ReadTree(key.get(), RegistryRoot::CurrentUser, kRoundTripKey, imported);
  EXPECT_EQ(InRegistryOrder(imported), InRegistryOrder(capture));
}

TEST_F(PreviewTest, RowsReadAsRegeditListsThem) {
  const std::vector<Row> rows = Rows(AwkwardCapture());
  ASSERT_EQ(rows.size(), 12u);
  const auto row = [&](const std::wstring& name) {
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r[kRowName] == name; });
    if (found != rows.end()) return *found;
    ADD_FAILURE() << "no row named " << name;
    return Row{};
  };
  EXPECT_EQ(row(L"(默认)")[kRowRoot], L"HKEY_CURRENT_USER");
  EXPECT_EQ(row(L"(默认)")[kRowKey], L"Software\\CorvantisRoundTrip\\CLSID\\{Class}");
  EXPECT_EQ(row(L"(默认)")[kRowData], L"C:\\Program Files\\\"quoted\" 控件.ocx");
  EXPECT_EQ(row(L"Multi")[kRowData], L"one two");
  EXPECT_EQ(row(L"Dword")[kRowType], L"REG_DWORD");
  EXPECT_EQ(row(L"Dword")[kRowData], L"0x8000002a (2147483690)");
  EXPECT_EQ(row(L"Qword")[kRowData], L"0x0807060504030201 (578437695752307201)");
  EXPECT_EQ(row(L"None")[kRowData], L"01 02");
  EXPECT_EQ(row(L"Nothing")[kRowData], L"(长度为零的二进制值)");
  EXPECT_EQ(rows.back()[kRowKey], L"Software\\CorvantisRoundTrip\\Empty key");
  EXPECT_EQ(rows.back()[kRowName], L"(默认)");
  EXPECT_EQ(rows.back()[kRowData], L"(数值未设置)");
}

}  // namespace
