// The registration preview against real servers, run in a real child process
// (this test program, started again with the preview's switch), and the
// capture's text forms, the .reg file checked by the system's own `reg import`.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <windows.h>

#include "architecture.h"
#include "capture_rows.h"
#include "child_side.h"
#include "dialog_driver.h"
#include "fixture_registry.h"
#include "fixtures/preview_fixtures.h"
#include "preview.h"
#include "preview_samples.h"
#include "recognise.h"
#include "reg_file.h"
#include "test_files.h"

using namespace Ostravel;
using dialog_driver::WaitUntil;
using test_files::Fixture;
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
  return registered &&
         std::count_if(registered->facts.begin(), registered->facts.end(), [&](const auto& fact) {
           return fact.first == label && DataText(fact.second) == text;
         }) == 1;
}

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class PreviewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { SetDllDirectoryW(L""); }
  void SetUp() override {
    RemoveFixtureKeys();
    // What a run that ended half way may have left.
    DeleteTreeUnfollowed(HKEY_CURRENT_USER, L"Software\\Corvantis");
  }
  void TearDown() override {
    RemoveFixtureKeys();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPreviewsKey)) << "a preview left its key behind";
  }

  static void RemoveFixtureKeys() {
    fixture_registry::Forget();
    RegDeleteTreeW(HKEY_CURRENT_USER, LATE_WRITER_KEY);
    RegDeleteTreeW(HKEY_CURRENT_USER, kRoundTripKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, MACHINE_FIXTURE_CLASS_KEY);
    RegDeleteTreeW(HKEY_CURRENT_USER, LINKING_FIXTURE_TARGET);
    RegDeleteTreeW(HKEY_CURRENT_USER, ODD_NAMES_FIXTURE_KEY);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Odd");
  }
};

const CapturedKey* FindKey(const Capture& capture, RegistryRoot root, const std::wstring& path) {
  for (const CapturedKey& key : capture.keys) {
    if (key.root == root && key.path == path) return &key;
  }
  return nullptr;
}

std::wstring TextOf(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t text[256] = {};
  DWORD size = sizeof text;
  RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size);
  return text;
}

// The system's own `reg import` of a file; its exit code.
DWORD ImportRegFile(const std::wstring& path) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring reg = std::wstring(system) + L"\\reg.exe";
  std::wstring commandLine = L"\"" + reg + L"\" import \"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(reg.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &info)) {
    return GetLastError();
  }
  DWORD exitCode = ERROR_TIMEOUT;
  if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(info.hProcess, &exitCode);
  } else {
    TerminateProcess(info.hProcess, ERROR_TIMEOUT);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return exitCode;
}

TEST_F(PreviewTest, GoodServerIsCapturedWhileTheRealKeyStaysAbsent) {
  const std::wstring server = Fixture(L"good_server.dll");
  const TaskResult preview = PreviewRegistration(server);

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
  TaskResult preview = PreviewRegistration(machine);
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
  EXPECT_EQ(DataText(file->second), Fixture(TYPELIB_FIXTURE_FILE));
  EXPECT_NE(FindRegistered(found, Registered::Kind::Interface, TYPELIB_FIXTURE_IID), nullptr);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" TYPELIB_FIXTURE_LIBID));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" TYPELIB_FIXTURE_IID));
}

TEST_F(PreviewTest, ServerStillRunningAtTheLimitNeverWritesToTheRealRegistry) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_GO);
  HANDLE written = CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_WRITTEN);
  ResetEvent(go);
  ResetEvent(written);
  const std::wstring server = Fixture(L"late_writer.dll");

  const auto start = Clock::now();
  const TaskResult preview = PreviewRegistration(server);
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
  // A dead preview's server may have left a link to a real key in it.
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, LINKING_FIXTURE_TARGET L"\\Inside", L"Real", L"data"));
  {
    const OwnedKey target = OpenKey(HKEY_CURRENT_USER, LINKING_FIXTURE_TARGET, KEY_READ);
    const std::wstring name = RegistryName(target.get());
    HKEY link = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (dead + L"\\Link").c_str(), 0, nullptr,
                              REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                              &link, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(link, kSymbolicLinkValue, 0, REG_LINK,
                   reinterpret_cast<const BYTE*>(name.data()),
                   static_cast<DWORD>(name.size() * sizeof(wchar_t)));
    RegCloseKey(link);
  }
  HANDLE alive = CreateMutexW(nullptr, FALSE, PreviewMutexName(liveName).c_str());

  EXPECT_EQ(PreviewRegistration(Fixture(L"good_server.dll")).outcome.result,
            RegistrationResult::Registered);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, dead));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, live));
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, LINKING_FIXTURE_TARGET L"\\Inside", L"Real"), L"data");

  CloseHandle(alive);
  DeleteTreeUnfollowed(HKEY_CURRENT_USER, L"Software\\Corvantis");
}

// The registry lists values by name, whatever order they were written in.
Capture InRegistryOrder(Capture capture) {
  const auto before = [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  };
  for (CapturedKey& key : capture.keys) {
    std::sort(key.values.begin(), key.values.end(),
              [&](const auto& a, const auto& b) { return before(a.name, b.name); });
  }
  std::sort(capture.keys.begin(), capture.keys.end(),
            [&](const auto& a, const auto& b) { return before(a.path, b.path); });
  return capture;
}

TEST_F(PreviewTest, RegFileImportsBackToTheSameTree) {
  const Capture capture = AwkwardCapture();
  test_files::TempFolder dir;
  const std::wstring path = dir.File(L"捕获.reg");
  ASSERT_EQ(WriteRegFile(path, capture), static_cast<DWORD>(ERROR_SUCCESS));

  EXPECT_EQ(ImportRegFile(path), 0u);

  const OwnedKey key = OpenKey(HKEY_CURRENT_USER, kRoundTripKey, KEY_READ);
  ASSERT_NE(key, nullptr);
  const Capture imported = ReadTree(key.get(), RegistryRoot::CurrentUser, kRoundTripKey);
  EXPECT_EQ(InRegistryOrder(imported), InRegistryOrder(capture));
}

using Row = std::array<std::wstring, kRowColumns>;

std::vector<Row> Rows(const Capture& capture) {
  std::vector<Row> rows;
  for (const ListRow& listed : ListRows(capture)) {
    Row& row = rows.emplace_back();
    for (int column = 0; column < kRowColumns; ++column) {
      row[column] = CellText(capture, listed, column);
    }
  }
  return rows;
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

// Servers that attack the reader, the clean-up and the .reg file.

TEST_F(PreviewTest, LinksAreListedWithTheirTargetsAndNeverFollowed) {
  // The real key of the user's that the server links to.
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, LINKING_FIXTURE_TARGET L"\\Inside", L"Real", L"data"));
  const TaskResult preview = PreviewRegistration(Fixture(L"linking_server.dll"));
  ASSERT_EQ(preview.outcome.result, RegistrationResult::Registered)
      << std::hex << preview.outcome.detail;

  const CapturedKey* loop =
      FindKey(preview.capture, RegistryRoot::ClassesRoot, LINKING_FIXTURE_LOOP);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->link.value_or(L""), L"HKEY_CLASSES_ROOT");
  EXPECT_FALSE(loop->linkLeaves);
  const CapturedKey* out = FindKey(preview.capture, RegistryRoot::CurrentUser, LINKING_FIXTURE_OUT);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->linkLeaves);
  const std::wstring target = out->link.value_or(L"");
  EXPECT_EQ(target.substr(target.size() - std::size(LINKING_FIXTURE_TARGET) + 1),
            LINKING_FIXTURE_TARGET);
  // The two links and nothing from beyond them.
  EXPECT_EQ(preview.capture.keys.size(), 2u);
  EXPECT_FALSE(preview.capture.cut);

  // The clean-up deleted the link, not what it leads to.
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, LINKING_FIXTURE_TARGET L"\\Inside", L"Real"), L"data");
}

TEST_F(PreviewTest, NamesHoldingLineBreaksNeverBecomeLinesOfTheRegFile) {
  const TaskResult preview = PreviewRegistration(Fixture(L"odd_names_server.dll"));
  ASSERT_EQ(preview.outcome.result, RegistrationResult::Registered);
  ASSERT_EQ(preview.capture.keys.size(), 2u);  // both listed

  test_files::TempFolder dir;
  const std::wstring path = dir.File(L"odd.reg");
  ASSERT_EQ(WriteRegFile(path, preview.capture), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(ImportRegFile(path), 0u);
  // What the names would have smuggled in is not there; the key that the
  // file can carry is.
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kRunKey, L"Odd"), L"");
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ODD_NAMES_FIXTURE_KEY));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ODD_NAMES_FIXTURE_RUN));
}

TEST_F(PreviewTest, HugeValueCutsTheCaptureWhereItLies) {
  const TaskResult preview = PreviewRegistration(Fixture(L"huge_value_server.dll"));
  ASSERT_EQ(preview.outcome.result, RegistrationResult::Registered);
  ASSERT_TRUE(preview.capture.cut);
  EXPECT_EQ(*preview.capture.cut, (CaptureCut{CaptureCut::Reason::Bytes, RegistryRoot::CurrentUser,
                                              HUGE_VALUE_FIXTURE_KEY}));
  EXPECT_TRUE(preview.capture.keys.empty());
  // The list ends on the cut, and the .reg file says it in its last line.
  const std::vector<ListRow> rows = ListRows(preview.capture);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(CellText(preview.capture, rows[0], kRowKey), HUGE_VALUE_FIXTURE_KEY);
  const std::wstring text = RegFileText(preview.capture);
  const std::wstring last = text.substr(text.rfind(L"\r\n", text.size() - 3) + 2);
  EXPECT_EQ(last.front(), L';');
  EXPECT_NE(last.find(L"HKEY_CURRENT_USER\\" HUGE_VALUE_FIXTURE_KEY), std::wstring::npos);
}

TEST_F(PreviewTest, ManyKeysAreCutAtTheBound) {
  static_assert(MANY_KEYS_FIXTURE_COUNT > kCaptureKeys);
  const TaskResult preview = PreviewRegistration(Fixture(L"many_keys_server.dll"));
  ASSERT_EQ(preview.outcome.result, RegistrationResult::Registered);
  ASSERT_TRUE(preview.capture.cut);
  EXPECT_EQ(preview.capture.cut->reason, CaptureCut::Reason::Keys);
  EXPECT_LE(preview.capture.keys.size(), kCaptureKeys);
  EXPECT_GE(preview.capture.keys.size(), kCaptureKeys - 10);  // less the keys on the way
}

TEST_F(PreviewTest, UnreadableKeyIsListedWithItsErrorAndStillCleanedUp) {
  const TaskResult preview = PreviewRegistration(Fixture(L"unreadable_key_server.dll"));
  ASSERT_EQ(preview.outcome.result, RegistrationResult::Registered);
  const CapturedKey* denied =
      FindKey(preview.capture, RegistryRoot::CurrentUser, UNREADABLE_FIXTURE_KEY);
  ASSERT_NE(denied, nullptr);
  EXPECT_EQ(denied->error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(preview.cleanup, ERROR_SUCCESS);  // and TearDown finds no key left
}

TEST_F(PreviewTest, LongDataIsShortenedInTheListAndWholeInTheRegFile) {
  std::vector<BYTE> binary(64 << 10);
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<BYTE>(i * 13);
  std::wstring text(100000, L'x');
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  Capture capture;
  capture.keys = {PlainKey(RegistryRoot::CurrentUser, kRoundTripKey,
                           {{L"Binary", REG_BINARY, binary},
                            {L"Text", REG_SZ, {bytes, bytes + (text.size() + 1) * 2}}})};
  for (const ListRow& row : ListRows(capture)) {
    EXPECT_LT(CellText(capture, row, kRowData).size(), 2 * kShownDataChars);
  }

  test_files::TempFolder dir;
  const std::wstring path = dir.File(L"long.reg");
  ASSERT_EQ(WriteRegFile(path, capture), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(ImportRegFile(path), 0u);
  const OwnedKey key = OpenKey(HKEY_CURRENT_USER, kRoundTripKey, KEY_READ);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(ReadTree(key.get(), RegistryRoot::CurrentUser, kRoundTripKey), capture);
}

TEST_F(PreviewTest, FailedSaveKeepsTheOldFile) {
  test_files::TempFolder dir;
  const std::wstring path = dir.File(L"old.reg");
  {
    std::ofstream old(std::filesystem::path(path), std::ios::binary);
    old << "old";
  }
  // Held open as an editor holds it: the file cannot be replaced meanwhile.
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NE(WriteRegFile(path, AwkwardCapture()), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(held);

  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "old");
  // Nor is anything left beside it.
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()),
                    std::filesystem::directory_iterator{}),
      1);
}

TEST_F(PreviewTest, ThirtyTwoBitCaptureOnSixtyFourBitWindowsIsSavedInItsView) {
  Capture capture;
  capture.wow64 = true;
  const std::pair<RegistryRoot, const wchar_t*> written[] = {
      {RegistryRoot::LocalMachine, L"Software\\Classes\\CLSID\\{C}"},
      {RegistryRoot::ClassesRoot, L"CLSID\\{C}\\InprocServer32"},
      {RegistryRoot::ClassesRoot, L"TypeLib\\{L}\\1.0"},
      {RegistryRoot::CurrentUser, L"Software\\Classes\\Interface\\{I}"},
      {RegistryRoot::CurrentUser, L"Software\\Vendor"},
      {RegistryRoot::LocalMachine, L"Software\\Vendor"},
      {RegistryRoot::LocalMachine, L"Software\\Microsoft\\OLE\\Extra"},
  };
  for (const auto& [root, path] : written) capture.keys.push_back(PlainKey(root, path, {}));
  const std::wstring text = RegFileText(capture);
  for (const wchar_t* key : {L"[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Classes\\CLSID\\{C}]",
                             L"[HKEY_CLASSES_ROOT\\WOW6432Node\\CLSID\\{C}\\InprocServer32]",
                             L"[HKEY_CLASSES_ROOT\\TypeLib\\{L}\\1.0]",
                             L"[HKEY_CURRENT_USER\\Software\\Classes\\WOW6432Node\\Interface\\{I}]",
                             L"[HKEY_CURRENT_USER\\Software\\Vendor]",
                             L"[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Vendor]",
                             L"[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\OLE\\Extra]"}) {
    EXPECT_NE(text.find(std::wstring(key) + L"\r\n"), std::wstring::npos) << key;
  }
}

}  // namespace
