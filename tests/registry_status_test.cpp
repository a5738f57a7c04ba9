// The registration status of real files against the real registry: the
// status fixture registered to itself, to a copy, in part, in the other view
// and not at all; a server without a type library; a damaged one. And the two
// readers of untrusted bytes on their own.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "../fixtures/status_fixture.h"
#include "dialog_driver.h"
#include "list_dialog_driver.h"
#include "list_ops_menu.h"
#include "registry_status_dialog.h"
#include "registration_status.h"
#include "registry_script.h"
#include "registry_status_text.h"
#include "test_files.h"
#include "typelib_check.h"

using namespace inspection;
using test_files::Fixture;
using namespace std::chrono_literals;

namespace {

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

constexpr int kItems = kStatusFixtureClasses + 1;  // the creatable classes and the library
constexpr bool kIs64 = sizeof(void*) == 8;

bool SystemHasTwoViews() {
  BOOL wow64 = FALSE;
  return kIs64 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// The registry view of clients of the other bitness.
REGSAM OtherView() { return kIs64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

std::wstring ClassKey(int number) {
  return L"Software\\Classes\\CLSID\\" + StatusFixtureClsid(number) + L"\\InprocServer32";
}

void SetValue(HKEY root, const std::wstring& key, DWORD type, const std::wstring& text,
              REGSAM view) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                            &opened, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(opened, nullptr, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
}

// Every class and the library registered as `text`, for the current user in
// this process's view, or where given.
void RegisterAs(DWORD type, const std::wstring& text, HKEY root = HKEY_CURRENT_USER,
                REGSAM view = 0) {
  for (int number = 1; number <= kStatusFixtureClasses; ++number) {
    SetValue(root, ClassKey(number), type, text, view);
  }
  const bool win64 = view == 0 ? kIs64 : !kIs64;
  SetValue(root, StatusFixtureTypeLibKey(win64), type, text, view);
}

bool MayWriteMachineKeys() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_CREATE_SUB_KEY, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void ForgetAll() {
  for (const auto& [root, view] : {std::pair{HKEY_CURRENT_USER, REGSAM{KEY_WOW64_32KEY}},
                                   std::pair{HKEY_CURRENT_USER, REGSAM{KEY_WOW64_64KEY}},
                                   std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_32KEY}},
                                   std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_64KEY}}}) {
    HKEY classes = nullptr;
    if (RegOpenKeyExW(root, L"Software\\Classes", 0, KEY_ALL_ACCESS | view, &classes) !=
        ERROR_SUCCESS) {
      continue;
    }
    for (int number = 1; number <= kStatusFixtureHelperClass; ++number) {
      RegDeleteTreeW(classes, (L"CLSID\\" + StatusFixtureClsid(number)).c_str());
    }
    RegDeleteTreeW(classes, L"TypeLib\\" STATUS_FIXTURE_LIBID);
    RegCloseKey(classes);
  }
}

// Runs the server's own DllRegisterServer, as a registration would.
void RunRegistration(const std::wstring& server) {
  HMODULE module = LoadLibraryW(server.c_str());
  ASSERT_NE(module, nullptr);
  const auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  EXPECT_EQ(entry ? entry() : E_FAIL, S_OK);
  FreeLibrary(module);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class RegistryStatus : public testing::Test {
 protected:
  const std::wstring server = Fixture(L"status_server.dll");
  void SetUp() override { ForgetAll(); }
  void TearDown() override { ForgetAll(); }

  RegistrationStatus Read(const std::wstring& path) {
    const RegistrationStatus status = ReadRegistrationStatus(path);
    line = StatusLineText(status);
    return status;
  }
  std::wstring line;
};

TEST_F(RegistryStatus, NotRegisteredListsEveryClassOfTheLibraryAndTheLibrary) {
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::NotRegistered) << testing::PrintToString(line);
  EXPECT_EQ(line, L"未注册");
  EXPECT_EQ(status.total, kItems);
  ASSERT_EQ(status.items.size(), static_cast<std::size_t>(kItems + 1));
  EXPECT_EQ(status.items[0].id, StatusFixtureClsid(1));
  EXPECT_EQ(status.items[0].name, L"StatusClass1");
  EXPECT_FALSE(status.items[kStatusFixtureHelperClass - 1].creatable);
  EXPECT_EQ(status.items.back().kind, ItemKind::TypeLibrary);
  EXPECT_EQ(status.ownView, kIs64 ? View::Bits64 : View::Bits32);
}

TEST_F(RegistryStatus, RegisteredByTheServerItselfIsThisFileForTheCurrentUserOnly) {
  RunRegistration(server);
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::ThisFile) << testing::PrintToString(line);
  EXPECT_EQ(line.rfind(L"已注册到此文件", 0), 0u);
  EXPECT_TRUE(status.thisUserOnly);
  EXPECT_NE(line.find(L"当前用户"), std::wstring::npos) << testing::PrintToString(line);
}

// The same file named otherwise: through a variable, a detour and quotes, as
// an expandable string. Only a comparison of the files themselves sees it.
TEST_F(RegistryStatus, TheSameFileUnderAnotherSpellingIsThisFile) {
  const std::filesystem::path fixtures = std::filesystem::path(server).parent_path();
  SetEnvironmentVariableW(L"CORVANTIS_STATUS_DIR", fixtures.parent_path().c_str());
  RegisterAs(REG_EXPAND_SZ,
             L"\"%CORVANTIS_STATUS_DIR%\\fixtures\\..\\fixtures\\STATUS_SERVER.DLL\"");
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::ThisFile) << testing::PrintToString(line);
  EXPECT_FALSE(status.bySearchPath);
}

TEST_F(RegistryStatus, RegisteredByACopyElsewhereNamesTheCopy) {
  const test_files::TempFolder folder;
  const std::wstring copy = folder.File(L"old version\\status_server.dll");
  ASSERT_TRUE(CopyFileW(server.c_str(), copy.c_str(), FALSE));
  RunRegistration(copy);
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::OtherFile) << testing::PrintToString(line);
  EXPECT_TRUE(SameText(status.otherFile, copy)) << testing::PrintToString(status.otherFile);
  EXPECT_EQ(line.rfind(L"已注册到另一个文件:" + status.otherFile, 0), 0u);
  // From the copy's side it is its own registration.
  EXPECT_EQ(Read(copy).verdict, Verdict::ThisFile) << testing::PrintToString(line);
}

TEST_F(RegistryStatus, AClassLeftOutIsPartOfTheRegistrationWithTheCount) {
  RunRegistration(server);
  RegDeleteTreeW(HKEY_CURRENT_USER,
                 (L"Software\\Classes\\CLSID\\" + StatusFixtureClsid(7)).c_str());
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::Partial) << testing::PrintToString(line);
  EXPECT_EQ(status.registered, kItems - 1);
  EXPECT_EQ(line.rfind(L"部分注册", 0), 0u);
  EXPECT_NE(line.find(std::to_wstring(kItems - 1)), std::wstring::npos)
      << testing::PrintToString(line);
}

// A bare name is what a client's search path makes of it: this file's name
// counts as this file, and the line says on what it rests.
TEST_F(RegistryStatus, ABareNameDependsOnTheSearchPath) {
  RegisterAs(REG_SZ, L"status_server.dll");
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::ThisFile) << testing::PrintToString(line);
  EXPECT_TRUE(status.bySearchPath);
  EXPECT_NE(line.find(L"搜索路径"), std::wstring::npos) << testing::PrintToString(line);
}

// Wine keeps one HKCU\Software\Classes\CLSID for both views (Windows
// splits it): the machine's keys are where the views part on both.
TEST_F(RegistryStatus, RegisteredOnlyInTheOtherViewSaysSo) {
  if (!SystemHasTwoViews()) GTEST_SKIP() << "a system of one registry view has no other view";
  if (!MayWriteMachineKeys())
    GTEST_SKIP() << "registering for all users needs administrator rights";
  RegisterAs(REG_SZ, server, HKEY_LOCAL_MACHINE, OtherView());
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::OtherViewOnly) << testing::PrintToString(line);
  EXPECT_EQ(line.rfind(L"只在另一视图中注册", 0), 0u);
  EXPECT_FALSE(status.thisUserOnly);
}

// What this user's keys say is what this user's clients get, whatever the
// machine's keys say; a path where no file is stays a registration elsewhere.
TEST_F(RegistryStatus, TheUsersEntryHidesTheMachinesForThatUserAlone) {
  if (!MayWriteMachineKeys())
    GTEST_SKIP() << "registering for all users needs administrator rights";
  RegisterAs(REG_SZ, server, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(Read(server).verdict, Verdict::ThisFile) << testing::PrintToString(line);
  EXPECT_EQ(line, L"已注册到此文件") << "the machine's keys hold for every user";

  const std::wstring gone = L"C:\\gone\\status_server.dll";
  RegisterAs(REG_SZ, gone);
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::OtherFile) << testing::PrintToString(line);
  EXPECT_EQ(status.otherFound, Found::Missing);
  EXPECT_TRUE(status.thisUserOnly);
  EXPECT_EQ(line.rfind(L"已注册到另一个文件:" + gone, 0), 0u) << testing::PrintToString(line);
}

// Longer than any path a client could load: told as such, not read whole.
TEST_F(RegistryStatus, AnAbsurdlyLongValueIsAnUnreadableRegistration) {
  RegisterAs(REG_SZ, std::wstring(40000, L'x'));
  const RegistrationStatus status = Read(server);
  EXPECT_EQ(status.verdict, Verdict::OtherFile) << testing::PrintToString(line);
  EXPECT_EQ(status.otherFound, Found::Unreadable);
  EXPECT_EQ(line.rfind(L"已注册到另一个文件:(值无法读取)", 0), 0u) << testing::PrintToString(line);
}

TEST_F(RegistryStatus, FilesThatCannotBeJudgedSayWhy) {
  EXPECT_EQ(Read(Fixture(L"good_server.dll")).verdict, Verdict::NoTypeLibrary);
  EXPECT_EQ(line, L"无法判断:没有类型库");

  EXPECT_EQ(Read(Fixture(L"corrupt_typelib_server.dll")).verdict, Verdict::Unknown);
  EXPECT_EQ(line.rfind(L"无法判断:类型库 1 已损坏", 0), 0u) << testing::PrintToString(line);

  const test_files::TempFolder folder;
  const std::wstring text = folder.File(L"not_a_server.ocx");
  std::ofstream(text.c_str()) << "This is a text file, not a library.\n";
  EXPECT_EQ(Read(text).verdict, Verdict::Unknown);
  EXPECT_EQ(line.rfind(L"无法判断:", 0), 0u) << testing::PrintToString(line);
  EXPECT_EQ(Read(folder.File(L"missing.ocx")).verdict, Verdict::Unknown);
}

// The details list the library first; Ctrl+C copies the selected rows as the
// preview list does; the save button writes the path, the line and every row.
TEST_F(RegistryStatus, TheDetailsCopyAndSaveAsThePreviewListDoes) {
  RunRegistration(server);
  const RegistrationStatus status = Read(server);
  const test_files::TempFolder folder;
  const std::wstring saved = folder.File(L"status.txt");
  std::wstring caption, copied;
  int rows = -1;
  dialog_driver::Driver driver([&](HWND dialog) {
    HWND list = GetDlgItem(dialog, kStatusDetailsList);
    caption = dialog_driver::WindowText(dialog);
    rows = ListView_GetItemCount(list);
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    SetForegroundWindow(dialog);
    SetFocus(list);
    dialog_driver::WaitUntil([&] { return GetForegroundWindow() == dialog; }, 5s);
    list_dialog_driver::TypeCtrlC();
    dialog_driver::WaitUntil(
        [&] { return !(copied = list_dialog_driver::ClipboardText()).empty(); }, 5s);
    dialog_driver::PressButton(dialog, kStatusDetailsSave);
    if (HWND save = list_dialog_driver::WaitForOtherDialog(dialog)) {
      dialog_driver::TypeFileName(save, saved);
      dialog_driver::PressButton(save, IDOK);
      dialog_driver::WaitUntil([&] { return !IsWindow(save); }, 10s);
    }
    PostMessageW(dialog, WM_COMMAND, kMnuRefresh, 0);
  });
  list_dialog_driver::EmptyClipboardText();
  EXPECT_EQ(ShowStatusDetails(nullptr, server, status), StatusDetailsAnswer::Refresh);
  ASSERT_TRUE(driver.Found());

  EXPECT_EQ(caption, L"注册状态 - status_server.dll");
  EXPECT_GE(rows, kItems + 1);
  const std::wstring view = kIs64 ? L"64 位" : L"32 位";
  EXPECT_EQ(copied, L"类型库\t" STATUS_FIXTURE_LIBID L" 1.0\t\t" + view + L"\t当前用户\t此文件\t" +
                        server + L"\r\n");
  std::ifstream file(std::filesystem::path(saved), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};
  const std::string head = Utf8(L"\xFEFF" + server + L"\r\n" + line + L"\r\n");
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_NE(bytes.find(Utf8(copied)), std::string::npos) << "every row, the copied one among them";
}

// The checker reads the library from a buffer that ends at a page no one may
// read: a check that strays past the bytes it was given ends the test.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<char>& bytes) : size_(bytes.size()) {
    const std::size_t page = 4096, pages = (size_ + page - 1) / page + 1;
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + (pages - 1) * page - size_;
    std::copy(bytes.begin(), bytes.end(), data_);
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  std::wstring Check(std::size_t size) const {
    return CheckTypeLibraryBytes(data_ + size_ - size, size);
  }
  char* Data() { return data_; }

 private:
  std::size_t size_;
  char* base_ = nullptr;
  char* data_ = nullptr;
};

TEST(TypeLibraryCheck, PassesWidlsLibraryAndRefusesItCutShortOrWithOffsetsOutside) {
  std::ifstream file(Fixture(L"status_fixture.tlb").c_str(), std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  ASSERT_GT(bytes.size(), 0x200u);
  GuardedBytes guarded(bytes);
  EXPECT_EQ(guarded.Check(bytes.size()), L"");

  // Cut short anywhere in the header, the directory or the type infos.
  for (std::size_t size = 0; size < 0x600 && size < bytes.size(); size += 4) {
    const std::wstring failure = guarded.Check(size);
    EXPECT_NE(failure, L"") << "cut to " << size;
  }
  // Every word of the first part replaced by a wild offset or count: the
  // check may pass a word it does not need, but never reads outside.
  std::vector<char> wild = bytes;
  int refused = 0;
  for (std::size_t at = 0; at + 4 <= 0x400; at += 4) {
    for (const std::int32_t value : {0x7FFFFFF0, -2, 0x00FFFFFF}) {
      std::copy(bytes.begin(), bytes.end(), wild.begin());
      std::memcpy(wild.data() + at, &value, sizeof value);
      GuardedBytes mutated(wild);
      refused += mutated.Check(wild.size()).empty() ? 0 : 1;
    }
  }
  EXPECT_GT(refused, 100);
}

TEST(RegistryScript, NamesTheClassesOfACLSIDBlockOnly) {
  const std::wstring script =
      L"HKCR\r\n{\r\n"
      L"  Corvantis.Widget.1 = s 'Widget'\r\n  {\r\n"
      L"    CLSID = s '{11111111-2222-3333-4444-555555555555}'\r\n  }\r\n"
      L"  NoRemove CLSID\r\n  {\r\n"
      L"    ForceRemove {A1B2C3D4-0000-1111-2222-333344445555} = s 'Widget Class'\r\n    {\r\n"
      L"      InprocServer32 = s '%MODULE%'\r\n      {\r\n        val ThreadingModel = s "
      L"'Apartment'\r\n      }\r\n"
      L"      TypeLib = s '{99999999-8888-7777-6666-555555555555}'\r\n    }\r\n"
      L"    {b1b2c3d4-0000-1111-2222-333344445555}\r\n"
      L"  }\r\n"
      L"  NoRemove Interface\r\n  {\r\n    {22222222-3333-4444-5555-666666666666} = s "
      L"'IWidget'\r\n  }\r\n}\r\n";
  const std::vector<ScriptClass> classes = ScriptClasses(script);
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_EQ(classes[0].clsid, L"{A1B2C3D4-0000-1111-2222-333344445555}");
  EXPECT_EQ(classes[0].name, L"Widget Class");
  EXPECT_EQ(classes[1].clsid, L"{B1B2C3D4-0000-1111-2222-333344445555}");

  // As ATL keeps it: ANSI bytes.
  const std::string ansi(script.begin(), script.end());
  EXPECT_EQ(ScriptClasses(ScriptText(ansi.data(), ansi.size())).size(), 2u);
}

}  // namespace
