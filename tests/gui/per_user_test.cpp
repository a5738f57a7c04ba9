// Registering for the current user only and as administrator, chosen as a
// user chooses them: from the buttons' context menu, the system menu, and the
// offer that follows a machine-wide failure for lack of rights.
#include <gtest/gtest.h>

#include <optional>

#include "../fixtures/preview_fixtures.h"
#include "control_ids.h"
#include "dialog_driver.h"
#include "fixture_registry.h"
#include "test_files.h"
#include "tool_process.h"

namespace {

using namespace std::chrono_literals;
using dialog_driver::ControlText;
using dialog_driver::kMessageBoxTextId;
using dialog_driver::WindowText;
using test_files::Fixture;
using tool_process::Tool;

constexpr wchar_t kRegisteredForUser[] = L"已为当前用户注册";
constexpr wchar_t kUnregisteredForUser[] = L"已为当前用户反注册";

const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kClassesRootClass = CLASSES_ROOT_FIXTURE_KEY;
const std::wstring kMachineClass = std::wstring(L"CLSID\\") + MACHINE_FIXTURE_CLSID;
const std::wstring kMachineProgId = std::wstring(MACHINE_FIXTURE_PROGID) + L"\\CLSID";
const std::wstring kTypeLibrary = std::wstring(L"TypeLib\\") + TYPELIB_FIXTURE_LIBID;

class PerUser : public testing::Test {
 protected:
  std::optional<Tool> tool;

  // No trace of the fixtures for either scope: a key found later is the run's.
  void SetUp() override {
    for (const std::wstring& key :
         {kClassesRootClass, kMachineClass, std::wstring(MACHINE_FIXTURE_PROGID), kTypeLibrary}) {
      RegDeleteTreeW(HKEY_CURRENT_USER, (kUserClasses + key).c_str());
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kUserClasses + key).c_str());
    }
    fixture_registry::Forget();
    tool.emplace(tool_process::ToolPath(), kFrmRegisterClass, std::vector<std::wstring>{},
                 tool_process::Rights::Limited);
    ASSERT_NE(tool->Window(), nullptr) << "the tool's window never showed";
  }

  // Holds `server` and waits until the window has read its registration status.
  void Hold(const std::wstring& server) {
    if (WindowText(tool->Control(kPathBox)) != server) tool_process::Choose(*tool, server);
    dialog_driver::WaitUntil(
        [&] { return !WindowText(tool->Control(kRegistryStatusLine)).empty(); }, 10s);
  }

  // Right-clicks `button` and picks the item of `mnemonic` in its menu. Under
  // Wine a click or key that reaches the window while it is being activated
  // again is sometimes lost: each is given once more if nothing came of it.
  std::wstring FromButtonMenu(const std::wstring& server, int button, WORD mnemonic) {
    Hold(server);
    for (int attempt = 0; attempt < 2 && !tool->WaitForMenu(attempt == 0 ? 0ms : 3s); ++attempt) {
      tool->PressRight(button);
    }
    if (!tool->WaitForMenu()) return L"(no menu)";
    return Pick(mnemonic);
  }

  // Types `mnemonic` into the open menu and takes the message that follows.
  std::wstring Pick(WORD mnemonic) {
    for (int attempt = 0; attempt < 2 && tool->WaitForMenu(0ms); ++attempt) {
      tool->Type({mnemonic});
      dialog_driver::WaitUntil([&] { return !tool->WaitForMenu(0ms); }, 3s);
    }
    return tool->TakeMessage(nullptr, 40s);
  }

  // The item of `mnemonic` in the window's system menu, opened from its icon.
  std::wstring FromSystemMenu(const std::wstring& server, WORD mnemonic) {
    Hold(server);
    tool->ClickSystemIcon();
    if (!tool->WaitForMenu()) return L"(no menu)";
    return Pick(mnemonic);
  }

  // Presses `button`, expects the retry offer, and answers it with `answer`.
  std::wstring AnswerOffer(int button, int answer) {
    tool->Press(button);
    const HWND box = tool->WaitForDialog(40s);
    if (!box) return L"(no offer)";
    dialog_driver::WaitUntil([&] { return !ControlText(box, kMessageBoxTextId).empty(); }, 5s);
    const std::wstring offer = ControlText(box, kMessageBoxTextId);
    dialog_driver::PressButton(box, answer);
    dialog_driver::WaitUntil([&] { return !IsWindow(box); }, 10s);
    return offer;
  }
};

// Each way a server writes its classes ends in the user's classes, and nothing
// reaches the machine's; unregistering for the user takes it away again.
TEST_F(PerUser, EachKindOfServerLandsInTheUsersClassesOnly) {
  const std::wstring typelibServer = Fixture(L"typelib_server.dll");
  EXPECT_EQ(FromButtonMenu(typelibServer, kRegisterButton, 'U'), kRegisteredForUser);
  EXPECT_TRUE(fixture_registry::KeyExists(HKEY_CURRENT_USER, kUserClasses + kTypeLibrary));
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_LOCAL_MACHINE, kUserClasses + kTypeLibrary));
  EXPECT_EQ(FromButtonMenu(typelibServer, kUnregisterButton, 'E'), kUnregisteredForUser);
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_CURRENT_USER, kUserClasses + kTypeLibrary));

  const std::wstring machineServer = Fixture(L"machine_server.dll");
  EXPECT_EQ(FromSystemMenu(machineServer, 'U'), kRegisteredForUser);
  EXPECT_EQ(fixture_registry::KeyText(HKEY_CURRENT_USER,
                                      kUserClasses + kMachineClass + L"\\InprocServer32"),
            machineServer);
  EXPECT_EQ(fixture_registry::KeyText(HKEY_CURRENT_USER, kUserClasses + kMachineProgId),
            MACHINE_FIXTURE_CLSID);
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_LOCAL_MACHINE, kUserClasses + kMachineClass));
  EXPECT_FALSE(
      fixture_registry::KeyExists(HKEY_LOCAL_MACHINE, kUserClasses + MACHINE_FIXTURE_PROGID));

  // Nothing of the tool's own is left behind.
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_CURRENT_USER, L"Software\\Corvantis"));
}

// Refused machine-wide, the server is registered for the user on the user's
// word, and unregistered for the user from the keyboard; declining the offer
// runs nothing.
TEST_F(PerUser, AServerRefusedForLackOfRightsIsOfferedTheCurrentUser) {
  const std::wstring server = Fixture(L"classes_root_server.dll");
  Hold(server);
  const std::wstring offer = AnswerOffer(kRegisterButton, IDYES);
  EXPECT_EQ(offer.rfind(L"不能打开注册的DLL或OCX控件!" + server + L"\r\n", 0), 0u)
      << testing::PrintToString(offer);
  EXPECT_NE(offer.find(L"0x80070005"), std::wstring::npos) << testing::PrintToString(offer);
  EXPECT_EQ(tool->TakeMessage(nullptr, 40s), kRegisteredForUser);
  EXPECT_EQ(fixture_registry::KeyText(HKEY_CURRENT_USER,
                                      kUserClasses + kClassesRootClass + L"\\InprocServer32"),
            server);
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_LOCAL_MACHINE, kUserClasses + kClassesRootClass));

  AnswerOffer(kUnregisterButton, IDCANCEL);
  EXPECT_TRUE(tool->WaitForNoDialog());
  EXPECT_TRUE(IsWindowEnabled(tool->Control(kUnregisterButton)));
  EXPECT_TRUE(fixture_registry::KeyExists(HKEY_CURRENT_USER, kUserClasses + kClassesRootClass));

  // The clicked button keeps the focus: Shift+F10 opens its menu.
  for (int attempt = 0; attempt < 2 && !tool->WaitForMenu(attempt == 0 ? 0ms : 3s); ++attempt) {
    tool->Type({VK_SHIFT, VK_F10});
  }
  ASSERT_NE(tool->WaitForMenu(), nullptr);
  EXPECT_EQ(Pick('E'), kUnregisteredForUser);
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_CURRENT_USER, kUserClasses + kClassesRootClass));
}

// Under Wine "runas" starts the child without a prompt, with the same rights:
// the elevated path runs the server and its outcome comes back over the pipe.
// A failure there is told, and not offered again.
TEST_F(PerUser, AsAdministratorOnlyTheChildRunsAndItsOutcomeComesBack) {
  const std::wstring server = Fixture(L"good_server.dll");
  EXPECT_EQ(FromButtonMenu(server, kRegisterButton, 'A'), L"文件注册成功!");
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), server);
  EXPECT_EQ(FromButtonMenu(server, kUnregisterButton, 'A'), L"文件反注册成功!");
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);

  const std::wstring refusing = Fixture(L"classes_root_server.dll");
  Hold(refusing);
  AnswerOffer(kRegisterButton, IDNO);
  const std::wstring outcome = tool->TakeMessage(nullptr, 40s);
  EXPECT_NE(outcome.find(L"0x80070005"), std::wstring::npos) << testing::PrintToString(outcome);
  EXPECT_EQ(outcome.find(L"是否重试"), std::wstring::npos) << testing::PrintToString(outcome);
  EXPECT_TRUE(tool->Responsive());
}

// A tool that itself runs elevated would write the administrator's classes:
// it says so and runs nothing.
TEST_F(PerUser, AnElevatedToolRefusesTheCurrentUser) {
  HANDLE token = nullptr;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  if (!elevation.TokenIsElevated) GTEST_SKIP() << "the test does not run elevated";
  tool.emplace(tool_process::ToolPath(), kFrmRegisterClass);
  const std::wstring refusal =
      FromButtonMenu(Fixture(L"classes_root_server.dll"), kRegisterButton, 'U');
  EXPECT_NE(refusal.find(L"管理员"), std::wstring::npos) << testing::PrintToString(refusal);
  EXPECT_FALSE(fixture_registry::KeyExists(HKEY_CURRENT_USER, kUserClasses + kClassesRootClass));
}

}  // namespace
