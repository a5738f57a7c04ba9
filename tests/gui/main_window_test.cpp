// The built tool, started as a process of its own and driven like a user does.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "control_ids.h"
#include "dialog_driver.h"
#include "test_files.h"
#include "tool_process.h"
#include "twips.h"

namespace {

using namespace std::chrono_literals;
using dialog_driver::WaitUntil;
using test_files::Fixture;
using tool_process::ToolPath;
using tool_process::Text;
using tool_process::Tool;

constexpr wchar_t kClsidKey[] =
    L"Software\\Classes\\CLSID\\{6F1D3A52-8C0B-4C7E-9A54-2B7E0C1D9E31}\\InprocServer32";
constexpr wchar_t kFailure[] = L"不能打开注册的DLL或OCX控件!";
constexpr int kFilterCombo = 0x470;  // cmb1


// Chooses `path` in the tool's open dialog and waits until the path box shows it.
void Choose(const Tool& tool, const std::wstring& path) {
  dialog_driver::PressButton(tool.Window(), kCmdOpen);
  HWND dialog = tool.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  dialog_driver::TypeFileName(dialog, path);
  dialog_driver::PressButton(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return Text(tool.Control(kTxtFile)) == path; }, 10s))
      << "path box: " << testing::PrintToString(Text(tool.Control(kTxtFile)));
}

std::wstring RegisteredServer() {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kClsidKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return value;
}

class MainWindow : public testing::Test {
 protected:
  Tool tool{ToolPath(), kFrmRegisterClass};

  void SetUp() override { ASSERT_NE(tool.Window(), nullptr) << "the tool's window never showed"; }
};

TEST_F(MainWindow, OpensCentredAtTheDesignedSizeWithItsControlsInTabOrder) {
  EXPECT_EQ(Text(tool.Window()), L"OCX、DLL文件注册器");
  EXPECT_EQ(GetMenu(tool.Window()), nullptr);
  const LONG style = GetWindowLongW(tool.Window(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));

  const int dpiX = toolkit::ScreenDpiX(), dpiY = toolkit::ScreenDpiY();
  RECT client;
  GetClientRect(tool.Window(), &client);
  EXPECT_EQ(client.right, MulDiv(3900, dpiX, 1440));
  EXPECT_EQ(client.bottom, MulDiv(1815, dpiY, 1440));
  RECT outer;
  GetWindowRect(tool.Window(), &outer);
  EXPECT_NEAR(outer.left + outer.right, GetSystemMetrics(SM_CXSCREEN), 2);
  EXPECT_NEAR(outer.top + outer.bottom, GetSystemMetrics(SM_CYSCREEN), 2);

  struct Expected {
    int id;
    const wchar_t* text;
    bool enabled, tabStop;
  };
  const std::array<Expected, 8> tabOrder{{
      {kTxtFile, L"", true, true},
      {kLblBQ, nullptr, true, false},
      {kLabelTime, L"", true, false},
      {kCmdOpen, L"打开文件", true, true},
      {kCmdAbout, L"关于我们", true, true},
      {kCmdHelp, L"帮助文件", true, true},
      {kCmdReg0, L"注    册", false, true},
      {kCmdReg1, L"反注册", false, true},
  }};
  HWND child = GetWindow(tool.Window(), GW_CHILD);
  for (const Expected& expected : tabOrder) {
    ASSERT_NE(child, nullptr);
    SCOPED_TRACE(expected.id);
    EXPECT_EQ(GetDlgCtrlID(child), expected.id);
    if (expected.text) {
      EXPECT_EQ(Text(child), expected.text);
    }
    EXPECT_EQ(IsWindowEnabled(child) != FALSE, expected.enabled);
    const LONG childStyle = GetWindowLongW(child, GWL_STYLE);
    EXPECT_EQ((childStyle & WS_TABSTOP) != 0, expected.tabStop);
    EXPECT_NE(childStyle & 0x0F, BS_DEFPUSHBUTTON);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_FALSE(Text(tool.Control(kLblBQ)).empty()) << "the rights notice is filled at load";
  EXPECT_TRUE(GetWindowLongW(tool.Control(kTxtFile), GWL_STYLE) & ES_READONLY);

  // The path box spans the client width from 120 to 3855 twips, below the buttons.
  RECT box;
  GetWindowRect(tool.Control(kTxtFile), &box);
  MapWindowPoints(nullptr, tool.Window(), reinterpret_cast<POINT*>(&box), 2);
  EXPECT_EQ(box.left, MulDiv(120, dpiX, 1440));
  EXPECT_EQ(box.top, MulDiv(600, dpiY, 1440));
  EXPECT_EQ(box.right - box.left, MulDiv(3735, dpiX, 1440));
}

TEST_F(MainWindow, ClockTicksAfterAboutASecondWithOneSpaceEitherSide) {
  HWND clock = tool.Control(kLabelTime);
  // The first tick comes one interval after load, and load comes after the
  // process was created: whenever the text is first seen, a second has passed.
  ASSERT_TRUE(WaitUntil([&] { return !Text(clock).empty(); }, 5s));
  EXPECT_GE(std::chrono::steady_clock::now() - tool.Started(), 1s) << "ticked at load";
  const std::wstring first = Text(clock);
  ASSERT_GE(first.size(), 3u);
  EXPECT_EQ(first.front(), L' ');
  EXPECT_EQ(first.back(), L' ');
  EXPECT_NE(first[1], L' ');
  EXPECT_NE(first[first.size() - 2], L' ');
  EXPECT_NE(first.find(L':'), std::wstring::npos) << "a time of day: " << testing::PrintToString(first);
  EXPECT_TRUE(WaitUntil([&] { return Text(clock) != first; }, 3s)) << "the clock stopped";
}

TEST_F(MainWindow, AboutAndHelpShowTheirFixedTextsAndChangeNothing) {
  std::wstring title;
  tool.Press(kCmdAbout);
  EXPECT_EQ(tool.TakeMessage(&title),
            L"Pelloran: https://pelloran.example/\r\n"
            L"官网: https://www.corvantis.example/\r\n"
            L"邮箱: support@corvantis.example");
  EXPECT_EQ(title, L"关于");

  tool.Press(kCmdHelp);
  EXPECT_EQ(tool.TakeMessage(&title),
            L"一、首先按<打开文件>按钮打开需要注册的OCX文件或DLL文件;\r\n"
            L"二、然后根据需要进行OCX文件或DLL文件的注册和反注册;\r\n"
            L"三、感谢所有关心Dunmarrow发展朋友的支持;\r\n"
            L"四、如果在使用中遇到什么问题,请与我们联系.");
  EXPECT_EQ(title, L"帮助文件");

  EXPECT_EQ(Text(tool.Control(kTxtFile)), L"");
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kCmdReg0)));
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kCmdReg1)));
}

TEST_F(MainWindow, OpenOffersOcxFilesAndEnablesRegistrationOnlyOnceAPathIsHeld) {
  // Cancelled on first use: nothing held, nothing to register.
  tool.Press(kCmdOpen);
  HWND dialog = tool.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), tool.Window());
  HWND filter = GetDlgItem(dialog, kFilterCombo);
  EXPECT_EQ(SendMessageW(filter, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Text(filter), L"OCX Files (*.ocx)");
  dialog_driver::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(tool.WaitForNoDialog());
  EXPECT_EQ(Text(tool.Control(kTxtFile)), L"");
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kCmdReg0)));
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kCmdReg1)));

  const std::wstring server = Fixture(L"good_server.dll");
  Choose(tool, server);
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kCmdReg0)));
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kCmdReg1)));

  // Cancelled later: the last path stays.
  tool.Press(kCmdOpen);
  dialog = tool.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  dialog_driver::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(tool.WaitForNoDialog());
  EXPECT_EQ(Text(tool.Control(kTxtFile)), server);
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kCmdReg0)));
}

TEST_F(MainWindow, RegistersAndUnregistersAGoodServerAndSaysSoAfterwards) {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\{6F1D3A52-8C0B-4C7E-9A54-2B7E0C1D9E31}");
  const std::wstring server = Fixture(L"good_server.dll");
  Choose(tool, server);

  std::wstring title;
  tool.Press(kCmdReg0);
  EXPECT_EQ(tool.TakeMessage(&title), L"文件注册成功!");
  EXPECT_EQ(title, L"提示");
  EXPECT_EQ(CompareStringOrdinal(RegisteredServer().c_str(), -1, server.c_str(), -1, TRUE), CSTR_EQUAL)
      << testing::PrintToString(RegisteredServer());

  tool.Press(kCmdReg1);
  EXPECT_EQ(tool.TakeMessage(&title), L"文件反注册成功!");
  EXPECT_EQ(title, L"提示");
  EXPECT_EQ(RegisteredServer(), L"");
  EXPECT_TRUE(tool.WaitForNoDialog()) << "one message per press";
}

// Each broken server gets the failure text with its path and a line on why,
// and the tool carries on.
TEST_F(MainWindow, BrokenServersAreReportedWithThePathAndTheReason) {
  const test_files::TempFolder folder;
  const std::wstring notADll = folder.File(L"not_a_server.ocx");
  std::ofstream(notADll.c_str()) << "This is a text file, not a library.\n";

  struct Case {
    std::wstring path;
    const wchar_t* reason;
  };
  const Case cases[] = {
      {Fixture(L"failing_server.dll"), L"报告失败 0x80070005"},
      {Fixture(L"crashing_server.dll"), L"异常代码 0xC0000005"},
      {Fixture(L"no_entry_points.dll"), L"没有 DllRegisterServer 入口点"},
      {Fixture(L"other_architecture_server.dll"), L"64位"},
      {notADll, L"文件无法加载(错误 193): "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    Choose(tool, c.path);
    std::wstring title;
    tool.Press(kCmdReg0);
    const std::wstring text = tool.TakeMessage(&title);
    const std::wstring head = kFailure + c.path + L"\r\n";
    ASSERT_EQ(text.substr(0, head.size()), head) << testing::PrintToString(text);
    const std::wstring reason = text.substr(head.size());
    EXPECT_NE(reason.find(c.reason), std::wstring::npos) << testing::PrintToString(reason);
    EXPECT_EQ(reason.find(L'\n'), std::wstring::npos) << "one line";
    EXPECT_EQ(title, L"提示");
    EXPECT_TRUE(tool.Responsive());
  }
}

TEST_F(MainWindow, AServerThatHangsIsReportedAfterTenSeconds) {
  const std::wstring server = Fixture(L"hanging_server.dll");
  Choose(tool, server);
  const auto pressed = std::chrono::steady_clock::now();
  tool.Press(kCmdReg1);
  const std::wstring text = tool.TakeMessage(nullptr, 30s);
  EXPECT_GE(std::chrono::steady_clock::now() - pressed, 9s);
  EXPECT_EQ(text, kFailure + server + L"\r\n入口点 DllUnregisterServer 在10秒内没有完成。");
  EXPECT_TRUE(tool.Responsive());
}

}  // namespace
