// Registering for the current user, run in a child as the window runs it:
// what a server writes machine-wide lands in the user's classes or is named,
// and a link it leaves leads nowhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <windows.h>
#include <sddl.h>

#include "../fixtures/preview_fixtures.h"
#include "per_user.h"
#include "fixture_registry.h"
#include "test_files.h"

namespace {

using namespace Ostravel;

const std::wstring kClass = std::wstring(L"Software\\Classes\\CLSID\\") + SETTINGS_FIXTURE_CLSID;

bool Noted(const ServerRun& run, const std::wstring& line) {
  return std::find(run.notes.begin(), run.notes.end(), line) != run.notes.end();
}

TEST(PerUserRun, MachineWideClassesAreTheUsersAndOtherWritesAreNamedNotApplied) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegDeleteTreeW(root, kClass.c_str());
    RegDeleteTreeW(root, L"Software\\CorvantisFixture");
  }
  // What the server's link leads to: a key of the user's that must stay as it is.
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET, L"Kept", REG_SZ, L"yes", 8),
      ERROR_SUCCESS);

  const std::wstring server = test_files::Fixture(L"settings_server.dll");
  const ServerRun run = RunForCurrentUser(ServerTask::Register, server);
  EXPECT_EQ(run.end, ChildEnd::Reported);
  EXPECT_EQ(run.outcome.result, RegistrationResult::Registered);
  EXPECT_EQ(fixture_registry::KeyText(HKEY_CURRENT_USER, kClass + L"\\InprocServer32"), server);
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_LOCAL_MACHINE, kClass));
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_FIXTURE_SETTINGS_KEY));
  EXPECT_TRUE(Noted(run, std::wstring(L"HKEY_LOCAL_MACHINE\\") + SETTINGS_FIXTURE_SETTINGS_KEY))
      << testing::PrintToString(run.notes);
  EXPECT_TRUE(Noted(run, std::wstring(L"HKEY_LOCAL_MACHINE\\") + SETTINGS_FIXTURE_LINK_KEY))
      << testing::PrintToString(run.notes);

  // The link is neither copied nor followed when the private key goes.
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_KEY));
  EXPECT_EQ(fixture_registry::KeyText(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET, L"Kept"),
            L"yes");
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_CURRENT_USER, L"Software\\Corvantis"));

  RegDeleteTreeW(HKEY_CURRENT_USER, kClass.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET);
}

// A key of the user's that refuses what the server wrote: the registration
// is not called a success, and the message says what was not written.
TEST(PerUserRun, AWriteTheUsersKeysRefuseIsNoSuccess) {
  const std::wstring refusing = kClass + L"\\InprocServer32";
  RegDeleteTreeW(HKEY_CURRENT_USER, kClass.c_str());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, refusing.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const auto setAccess = [&](const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    LocalFree(descriptor);
  };
  setAccess(L"D:(D;;KW;;;WD)(A;;KA;;;WD)");  // no one may write to it

  const ServerRun run =
      RunForCurrentUser(ServerTask::Register, test_files::Fixture(L"settings_server.dll"));
  EXPECT_EQ(run.outcome.result, RegistrationResult::NotAllApplied);
  EXPECT_TRUE(Noted(run, L"未能写入当前用户的注册表项: HKEY_CURRENT_USER\\" + refusing))
      << testing::PrintToString(run.notes);

  setAccess(L"D:(A;;KA;;;WD)");
  RegCloseKey(key);
  RegDeleteTreeW(HKEY_CURRENT_USER, kClass.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_FIXTURE_LINK_TARGET);
}

}  // namespace
