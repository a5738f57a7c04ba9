// The built tool, started as a process of its own and driven like a user does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>

#include "../fixtures/preview_fixtures.h"
#include "../fixtures/status_fixture.h"
#include "control_ids.h"
#include "dialog_driver.h"
#include "file_drop.h"
#include "fixture_registry.h"
#include "list_ops_menu.h"
#include "preview_dialog.h"
#include "registration_report.h"
#include "registry_status_dialog.h"
#include "test_files.h"
#include "tool_process.h"
#include "twips.h"

namespace {

using namespace std::chrono_literals;
using dialog_driver::WaitUntil;
using dialog_driver::WindowText;
using test_files::Fixture;
using tool_process::Choose;
using tool_process::Tool;
using tool_process::ToolPath;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kFailure[] = L"不能打开注册的DLL或OCX控件!";
constexpr int kFilterCombo = 0x470;  // cmb1
constexpr std::array<int, 4> kBusyButtons{kOpenButton, kRegisterButton, kUnregisterButton,
                                          kPreviewButton};

// The time of day as the user's locale writes it, `secondsAgo` before now.
std::wstring TimeOfDay(int secondsAgo) {
  SYSTEMTIME time;
  GetLocalTime(&time);
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  ULARGE_INTEGER ticks{{file.dwLowDateTime, file.dwHighDateTime}};
  ticks.QuadPart -= secondsAgo * 10'000'000ULL;
  file = {ticks.LowPart, ticks.HighPart};
  FileTimeToSystemTime(&file, &time);
  wchar_t text[64] = {};
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 64);
  return text;
}

// The clock's text for some moment of the last two seconds.
bool ShowsTheTimeNow(const std::wstring& clock) {
  for (int ago = 0; ago <= 2; ++ago) {
    if (clock == L" " + TimeOfDay(ago) + L" ") return true;
  }
  return false;
}

bool Visible(const Tool& tool, int id) { return IsWindowVisible(tool.Control(id)) != FALSE; }

class MainWindow : public testing::Test {
 protected:
  Tool tool{ToolPath(), kFrmRegisterClass};

  void SetUp() override { ASSERT_NE(tool.Window(), nullptr) << "the tool's window never showed"; }

  // `oneFile`: the registration status stands in the rights notice's place.
  void ExpectIdleWith(const std::wstring& path, bool oneFile = true) {
    EXPECT_EQ(WindowText(tool.Control(kPathBox)), path);
    for (int id : kBusyButtons) EXPECT_TRUE(IsWindowEnabled(tool.Control(id))) << id;
    EXPECT_FALSE(Visible(tool, kProgressBar));
    EXPECT_FALSE(Visible(tool, kStatusLabel));
    EXPECT_EQ(Visible(tool, kRegistryStatusLine), oneFile);
    EXPECT_EQ(Visible(tool, kRightsLabel), !oneFile);
    EXPECT_TRUE(Visible(tool, kPreviewButton));
  }

  // Waits until the status line's text begins with `start`; the text it shows then.
  std::wstring WaitForStatus(const std::wstring& start) {
    std::wstring line;
    WaitUntil(
        [&] { return (line = WindowText(tool.Control(kRegistryStatusLine))).rfind(start, 0) == 0; },
        10s);
    return line;
  }

  // The preview's dialog, once it shows, and the rows of one of its lists.
  HWND WaitForPreview() {
    HWND dialog = tool.WaitForDialog();
    EXPECT_EQ(WindowText(dialog).rfind(L"预览注册 - ", 0), 0u)
        << testing::PrintToString(WindowText(dialog));
    return dialog;
  }
  std::vector<std::vector<std::wstring>> Rows(HWND dialog, int list) {
    return tool.ListRows(GetDlgItem(dialog, list));
  }
};

// A row with these cells, for a list's expected content.
using Row = std::vector<std::wstring>;
bool Lists(const std::vector<Row>& rows, const Row& row) {
  return std::find(rows.begin(), rows.end(), row) != rows.end();
}

TEST_F(MainWindow, OpensCentredAtTheDesignedSizeWithItsControlsInTabOrder) {
  EXPECT_EQ(WindowText(tool.Window()), L"OCX、DLL文件注册器");
  EXPECT_EQ(GetMenu(tool.Window()), nullptr);
  const LONG style = GetWindowLongW(tool.Window(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongW(tool.Window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

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
  const std::array<Expected, 9> tabOrder{{
      {kPathBox, L"", true, true},
      {kRightsLabel, nullptr, true, false},
      {kClockLabel, L"", true, false},
      {kOpenButton, L"打开文件", true, true},
      {kAboutButton, L"关于我们", true, true},
      {kHelpButton, L"帮助文件", true, true},
      {kRegisterButton, L"注    册", false, true},
      {kUnregisterButton, L"反注册", false, true},
      {kPreviewButton, L"预览注册", false, true},
  }};
  HWND child = GetWindow(tool.Window(), GW_CHILD);
  for (const Expected& expected : tabOrder) {
    ASSERT_NE(child, nullptr);
    SCOPED_TRACE(expected.id);
    EXPECT_EQ(GetDlgCtrlID(child), expected.id);
    if (expected.text) {
      EXPECT_EQ(WindowText(child), expected.text);
    }
    EXPECT_EQ(IsWindowEnabled(child) != FALSE, expected.enabled);
    const LONG childStyle = GetWindowLongW(child, GWL_STYLE);
    EXPECT_EQ((childStyle & WS_TABSTOP) != 0, expected.tabStop);
    EXPECT_NE(childStyle & 0x0F, BS_DEFPUSHBUTTON);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "the progress indicator is made only when first needed";
  EXPECT_FALSE(WindowText(tool.Control(kRightsLabel)).empty())
      << "the rights notice is filled at load";
  EXPECT_TRUE(GetWindowLongW(tool.Control(kPathBox), GWL_STYLE) & ES_READONLY);

  // The path box spans the client width from 120 to 3855 twips, below the buttons.
  RECT box;
  GetWindowRect(tool.Control(kPathBox), &box);
  MapWindowPoints(nullptr, tool.Window(), reinterpret_cast<POINT*>(&box), 2);
  EXPECT_EQ(box.left, MulDiv(120, dpiX, 1440));
  EXPECT_EQ(box.top, MulDiv(600, dpiY, 1440));
  EXPECT_EQ(box.right - box.left, MulDiv(3735, dpiX, 1440));
}

// Each text seen must be the time of day the test reads itself, and the text
// must move on about once a second.
TEST_F(MainWindow, ClockShowsTheTimeOfDayAndMovesOnEverySecond) {
  HWND clock = tool.Control(kClockLabel);
  std::wstring shown;
  ASSERT_TRUE(WaitUntil([&] { return !(shown = WindowText(clock)).empty(); }, 5s));
  EXPECT_TRUE(ShowsTheTimeNow(shown)) << testing::PrintToString(shown);
  const auto first = Clock::now();
  for (int change = 0; change < 4; ++change) {
    const std::wstring before = shown;
    ASSERT_TRUE(WaitUntil([&] { return (shown = WindowText(clock)) != before; }, 3s))
        << "the clock stopped";
    EXPECT_TRUE(ShowsTheTimeNow(shown)) << testing::PrintToString(shown);
  }
  const auto span = Clock::now() - first;
  EXPECT_GT(span, 2s);
  EXPECT_LT(span, 5500ms);
}

TEST_F(MainWindow, AboutAndHelpShowTheirFixedTextsAndChangeNothing) {
  std::wstring title;
  tool.Press(kAboutButton);
  EXPECT_EQ(tool.TakeMessage(&title),
            L"Pelloran: https://pelloran.example/\r\n"
            L"官网: https://www.corvantis.example/\r\n"
            L"邮箱: support@corvantis.example");
  EXPECT_EQ(title, L"关于");

  tool.Press(kHelpButton);
  EXPECT_EQ(tool.TakeMessage(&title),
            L"一、首先按<打开文件>按钮打开需要注册的OCX文件或DLL文件;\r\n"
            L"二、然后根据需要进行OCX文件或DLL文件的注册和反注册;\r\n"
            L"三、感谢所有关心Dunmarrow发展朋友的支持;\r\n"
            L"四、如果在使用中遇到什么问题,请与我们联系.");
  EXPECT_EQ(title, L"帮助文件");

  EXPECT_EQ(WindowText(tool.Control(kPathBox)), L"");
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kRegisterButton)));
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kUnregisterButton)));
}

TEST_F(MainWindow, OpenOffersOcxFilesAndEnablesRegistrationOnlyOnceAPathIsHeld) {
  // Cancelled on first use: nothing held, nothing to register.
  tool.Press(kOpenButton);
  HWND dialog = tool.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), tool.Window());
  HWND filter = GetDlgItem(dialog, kFilterCombo);
  EXPECT_EQ(SendMessageW(filter, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(WindowText(filter), L"OCX Files (*.ocx)");
  dialog_driver::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(tool.WaitForNoDialog());
  EXPECT_EQ(WindowText(tool.Control(kPathBox)), L"");
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kRegisterButton)));
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kUnregisterButton)));
  EXPECT_FALSE(IsWindowEnabled(tool.Control(kPreviewButton)));

  const std::wstring server = Fixture(L"good_server.dll");
  Choose(tool, server);
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kRegisterButton)));
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kUnregisterButton)));
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kPreviewButton)));

  // Cancelled later: the last path stays.
  tool.Press(kOpenButton);
  dialog = tool.WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  dialog_driver::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(tool.WaitForNoDialog());
  EXPECT_EQ(WindowText(tool.Control(kPathBox)), server);
  EXPECT_TRUE(IsWindowEnabled(tool.Control(kRegisterButton)));
}

TEST_F(MainWindow, RegistersAndUnregistersAGoodServerAndSaysSoAfterwards) {
  fixture_registry::Forget();
  const std::wstring server = Fixture(L"good_server.dll");
  Choose(tool, server);

  std::wstring title;
  tool.Press(kRegisterButton);
  EXPECT_EQ(tool.TakeMessage(&title), L"文件注册成功!");
  EXPECT_EQ(title, L"提示");
  const std::wstring registered = fixture_registry::RegisteredServerPath().value_or(L"");
  EXPECT_EQ(CompareStringOrdinal(registered.c_str(), -1, server.c_str(), -1, TRUE), CSTR_EQUAL)
      << testing::PrintToString(registered);

  tool.Press(kUnregisterButton);
  EXPECT_EQ(tool.TakeMessage(&title), L"文件反注册成功!");
  EXPECT_EQ(title, L"提示");
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);
  EXPECT_TRUE(tool.WaitForNoDialog()) << "one message per press";
  ExpectIdleWith(server);
}

// Each broken server gets the failure text with its path and a line on why,
// then a line per cause found in the files, and the tool carries on.
TEST_F(MainWindow, BrokenServersAreReportedWithThePathTheReasonAndTheCause) {
  const test_files::TempFolder folder;
  const std::wstring notADll = folder.File(L"not_a_server.ocx");
  std::ofstream(notADll.c_str()) << "This is a text file, not a library.\n";

  struct Case {
    std::wstring path;
    const wchar_t* reason;
    std::wstring causes;
  };
  const Case cases[] = {
      // Refused for lack of rights: the retry is offered below.
      {Fixture(L"failing_server.dll"), L"报告失败 0x80070005",
       L"\r\n\r\n" + RetryQuestion(Ostravel::ServerTask::Register)},
      {Fixture(L"crashing_server.dll"), L"异常代码 0xC0000005", L""},
      {Fixture(L"no_entry_points.dll"), L"没有 DllRegisterServer 入口点", L""},
      {Fixture(L"other_architecture_server.dll"), L"64位", L""},
      {notADll, L"文件无法加载(错误 193): ", L"\r\n文件不是 PE 映像,不是 DLL 或 OCX 控件。"},
      {Fixture(L"gone\\gone_server.dll"), L"",
       L"\r\nhelper.dll 缺少函数 helper_gone(gone_server.dll 需要它)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    Choose(tool, c.path);
    std::wstring title;
    tool.Press(kRegisterButton);
    const std::wstring text = tool.TakeMessage(&title);
    const std::wstring head = kFailure + c.path + L"\r\n";
    ASSERT_EQ(text.substr(0, head.size()), head) << testing::PrintToString(text);
    const std::wstring rest = text.substr(head.size());
    const std::size_t lineEnd = rest.find(L"\r\n");
    EXPECT_NE(rest.substr(0, lineEnd).find(c.reason), std::wstring::npos)
        << testing::PrintToString(rest);
    EXPECT_EQ(lineEnd == std::wstring::npos ? L"" : rest.substr(lineEnd), c.causes)
        << testing::PrintToString(rest);
    EXPECT_EQ(title, L"提示");
    EXPECT_TRUE(tool.Responsive());
  }
}

// While a hanging server's entry point runs out its ten seconds, the window
// keeps answering and its clock keeps going; the buttons that would start
// another call cannot be pressed and a drop is ignored.
TEST_F(MainWindow, StaysAliveWhileAServerHangsAndReportsItAfterTenSeconds) {
  const std::wstring server = Fixture(L"hanging_server.dll");
  Choose(tool, server);
  const auto pressed = Clock::now();
  tool.Press(kUnregisterButton);
  ASSERT_TRUE(WaitUntil([&] { return Visible(tool, kProgressBar); }, 5s)) << "no progress shown";
  for (int id : kBusyButtons) EXPECT_FALSE(IsWindowEnabled(tool.Control(id))) << id;
  EXPECT_TRUE(Visible(tool, kStatusLabel));
  EXPECT_FALSE(Visible(tool, kRightsLabel));
  const std::wstring status = WindowText(tool.Control(kStatusLabel));
  EXPECT_NE(status.find(L"DllUnregisterServer"), std::wstring::npos)
      << testing::PrintToString(status);

  // Clicks go through the input queue in order: when the about box shows, the
  // click on the disabled open button before it has come to nothing.
  tool.Press(kOpenButton);
  tool.Press(kAboutButton);
  std::wstring title;
  const std::wstring about = tool.TakeMessage(&title);
  EXPECT_EQ(title, L"关于") << testing::PrintToString(about);
  if (file_drop::Available()) {
    EXPECT_EQ(file_drop::Drop(tool.Window(), {Fixture(L"good_server.dll")}), "dropped");
  }

  const std::wstring clock = WindowText(tool.Control(kClockLabel));
  bool hung = false, clockMoved = false, secondsMoved = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        hung = hung || IsHungAppWindow(tool.Window());
        clockMoved = clockMoved || WindowText(tool.Control(kClockLabel)) != clock;
        secondsMoved = secondsMoved || WindowText(tool.Control(kStatusLabel)) != status;
        return tool.WaitForDialog(0ms) != nullptr;
      },
      30s))
      << "no outcome";
  EXPECT_FALSE(hung);
  EXPECT_TRUE(clockMoved);
  EXPECT_TRUE(secondsMoved) << "the seconds passed stood still";
  EXPECT_EQ(tool.TakeMessage(),
            kFailure + server + L"\r\n入口点 DllUnregisterServer 在10秒内没有完成。");
  EXPECT_GE(Clock::now() - pressed, 9s);
  ExpectIdleWith(server);
  EXPECT_TRUE(tool.WaitForNoDialog()) << "one message per press";
}

// The user's close is kept until the outcome is known and shown: the process
// never runs on without its window, nor cuts the entry point off.
TEST_F(MainWindow, ClosingDuringARegistrationClosesOnceTheOutcomeIsShown) {
  Choose(tool, Fixture(L"hanging_server.dll"));
  tool.Press(kRegisterButton);
  ASSERT_TRUE(WaitUntil([&] { return Visible(tool, kProgressBar); }, 5s));
  PostMessageW(tool.Window(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return WindowText(tool.Control(kStatusLabel)).find(L"结束后关闭") != std::wstring::npos;
      },
      5s))
      << testing::PrintToString(WindowText(tool.Control(kStatusLabel)));
  EXPECT_TRUE(IsWindowVisible(tool.Window()));

  EXPECT_NE(tool.TakeMessage(nullptr, 30s).find(L"在10秒内没有完成"), std::wstring::npos);
  EXPECT_TRUE(tool.WaitForExit(10s)) << "the window stayed after the outcome";
}

TEST_F(MainWindow, DroppedFilesAreHeldAsIfPickedAndAFolderWithoutServersIsRefused) {
  if (!file_drop::Available()) GTEST_SKIP() << "files are dropped through Wine's X11 driver";
  const std::wstring server = Fixture(L"good_server.dll");
  EXPECT_EQ(file_drop::Drop(tool.Window(), {server}), "dropped");
  ASSERT_TRUE(WaitUntil([&] { return WindowText(tool.Control(kPathBox)) == server; }, 5s))
      << testing::PrintToString(WindowText(tool.Control(kPathBox)));
  ExpectIdleWith(server);

  const test_files::TempFolder folder;
  EXPECT_EQ(file_drop::Drop(tool.Window(), {folder.Path()}), "dropped");
  EXPECT_EQ(tool.TakeMessage(), kFailure + folder.Path() + L"\r\n路径是一个文件夹,不是文件。");
  EXPECT_EQ(WindowText(tool.Control(kPathBox)), server) << "a folder is never held";

  // Several files are all held, and the path box counts them.
  EXPECT_EQ(file_drop::Drop(tool.Window(), {Fixture(L"quick_server.dll"), server}), "dropped");
  ASSERT_TRUE(
      WaitUntil([&] { return WindowText(tool.Control(kPathBox)) == L"已选择 2 个文件"; }, 5s))
      << testing::PrintToString(WindowText(tool.Control(kPathBox)));
  EXPECT_TRUE(tool.WaitForNoDialog());
  ExpectIdleWith(L"已选择 2 个文件", false);
}

// The preview runs the good server where its writes are caught: the dialog
// names its class and the file as InprocServer32, the real key stays absent,
// and Refresh closes the dialog for the window to preview again.
TEST_F(MainWindow, PreviewListsWhatAGoodServerWouldWriteAndLeavesTheRegistryAsItWas) {
  fixture_registry::Forget();
  const std::wstring server = Fixture(L"good_server.dll");
  Choose(tool, server);
  tool.Press(kPreviewButton);
  HWND dialog = WaitForPreview();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(
      Lists(Rows(dialog, kPreviewSummary), {L"类", L"{6F1D3A52-8C0B-4C7E-9A54-2B7E0C1D9E31}",
                                            L"HKEY_CURRENT_USER", L"InprocServer32 = " + server}))
      << testing::PrintToString(Rows(dialog, kPreviewSummary));
  EXPECT_TRUE(Lists(
      Rows(dialog, kPreviewList),
      {L"HKEY_CURRENT_USER", FIXTURE_CLSID_KEY L"\\InprocServer32", L"(默认)", L"REG_SZ", server}))
      << testing::PrintToString(Rows(dialog, kPreviewList));
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);

  // As the list's context menu gives it.
  PostMessageW(dialog, WM_COMMAND, kMnuRefresh, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10s));
  dialog = WaitForPreview();
  ASSERT_NE(dialog, nullptr);
  dialog_driver::PressButton(dialog, IDCANCEL);
  EXPECT_TRUE(tool.WaitForNoDialog()) << "closing previews nothing more";
  ExpectIdleWith(server);
}

// The late writer waits for the test's word, so the preview's run can be
// watched: every command is refused, the system menu's included, and the
// window answers; what the server writes once let go is listed.
TEST_F(MainWindow, APreviewRunsWhileTheWindowAnswersAndRefusesEveryOtherCall) {
  RegDeleteTreeW(HKEY_CURRENT_USER, LATE_WRITER_KEY);
  const std::unique_ptr<void, decltype(&CloseHandle)> go(
      CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_GO), CloseHandle);
  ResetEvent(go.get());
  const std::wstring server = Fixture(L"late_writer.dll");
  Choose(tool, server);
  tool.Press(kPreviewButton);
  ASSERT_TRUE(WaitUntil([&] { return Visible(tool, kProgressBar); }, 5s)) << "no progress shown";
  for (int id : kBusyButtons) EXPECT_FALSE(IsWindowEnabled(tool.Control(id))) << id;
  EXPECT_FALSE(Visible(tool, kPreviewButton)) << "the bar takes its place";
  const std::wstring status = WindowText(tool.Control(kStatusLabel));
  EXPECT_EQ(status.rfind(L"预览注册 已运行 ", 0), 0u) << testing::PrintToString(status);

  // A posted command comes before the click that follows it: when the about
  // box shows, the preview asked for meanwhile has been refused, not queued
  // behind the running one on the window's thread. The worker's message
  // number, as another process may post it, is passed over too: the window
  // does not wait for the running call.
  PostMessageW(tool.Window(), WM_SYSCOMMAND, kPreviewButton, 0);
  PostMessageW(tool.Window(), WM_APP + 1, 0, 0);
  tool.Press(kAboutButton);
  std::wstring title;
  tool.TakeMessage(&title, 5s);
  EXPECT_EQ(title, L"关于");
  EXPECT_TRUE(Visible(tool, kProgressBar));
  EXPECT_TRUE(tool.Responsive());
  EXPECT_FALSE(IsHungAppWindow(tool.Window()));

  SetEvent(go.get());
  HWND dialog = WaitForPreview();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(Lists(Rows(dialog, kPreviewList),
                    {L"HKEY_CURRENT_USER", LATE_WRITER_KEY, L"(默认)", L"REG_SZ", L"written late"}))
      << testing::PrintToString(Rows(dialog, kPreviewList));
  dialog_driver::PressButton(dialog, IDCANCEL);
  EXPECT_TRUE(tool.WaitForNoDialog());
  ExpectIdleWith(server);
}

TEST_F(MainWindow, APreviewFromTheSystemMenuReportsABadServerAsARegistrationDoes) {
  const std::wstring server = Fixture(L"crashing_server.dll");
  Choose(tool, server);
  PostMessageW(tool.Window(), WM_SYSCOMMAND, kPreviewButton, 0);
  EXPECT_EQ(tool.TakeMessage(),
            kFailure + server + L"\r\n入口点 DllRegisterServer 崩溃了,异常代码 0xC0000005。");
  EXPECT_TRUE(tool.WaitForNoDialog()) << "the message instead of the dialog";
  ExpectIdleWith(server);
}

// Runs one of the status server's entry points in this process, as a
// registration would, to start from a known state.
void RunStatusServer(const char* entry) {
  HMODULE module = LoadLibraryW(Fixture(L"status_server.dll").c_str());
  ASSERT_NE(module, nullptr);
  const auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, entry)));
  ASSERT_NE(call, nullptr);
  call();
  FreeLibrary(module);
}

// The line answers as soon as a file is chosen and again after each call;
// a click on it opens the details, which list each class where it was found.
TEST_F(MainWindow, TheStatusLineFollowsEachRegistrationAndOpensItsDetails) {
  RunStatusServer("DllUnregisterServer");
  const std::wstring server = Fixture(L"status_server.dll");
  Choose(tool, server);
  EXPECT_EQ(WaitForStatus(L"未注册"), L"未注册");

  tool.Press(kRegisterButton);
  EXPECT_EQ(tool.TakeMessage(), L"文件注册成功!");
  const std::wstring registered = WaitForStatus(L"已注册到此文件");
  EXPECT_NE(registered.find(L"当前用户"), std::wstring::npos) << testing::PrintToString(registered);

  tool.Press(kRegistryStatusLine);
  HWND details = tool.WaitForDialog();
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(WindowText(details), L"注册状态 - status_server.dll");
  EXPECT_EQ(WindowText(GetDlgItem(details, kStatusDetailsLine)), registered);
  const auto rows = tool.ListRows(GetDlgItem(details, kStatusDetailsList));
  EXPECT_TRUE(
      Lists(rows, {L"类", StatusFixtureClsid(1), L"StatusClass1",
                   sizeof(void*) == 8 ? L"64 位" : L"32 位", L"当前用户", L"此文件", server}))
      << testing::PrintToString(rows);
  dialog_driver::PressButton(details, IDCANCEL);
  ASSERT_TRUE(tool.WaitForNoDialog());

  tool.Press(kUnregisterButton);
  EXPECT_EQ(tool.TakeMessage(), L"文件反注册成功!");
  EXPECT_EQ(WaitForStatus(L"未注册"), L"未注册");
  ExpectIdleWith(server);
}

// A file the reader refuses is told in the line alone: no box, and the
// window goes on answering.
TEST_F(MainWindow, AFileThatCannotBeJudgedIsToldInTheLineWithoutABox) {
  const std::wstring damaged = Fixture(L"corrupt_typelib_server.dll");
  if (file_drop::Available()) {
    EXPECT_EQ(file_drop::Drop(tool.Window(), {damaged}), "dropped");
  } else {
    Choose(tool, damaged);
  }
  const std::wstring line = WaitForStatus(L"无法判断:");
  EXPECT_EQ(line.rfind(L"无法判断:类型库 1 已损坏", 0), 0u) << testing::PrintToString(line);
  EXPECT_EQ(tool.WaitForDialog(500ms), nullptr) << "no box for a file that cannot be read";
  EXPECT_TRUE(tool.Responsive());

  Choose(tool, Fixture(L"good_server.dll"));
  EXPECT_EQ(WaitForStatus(L"无法判断:没有类型库"), L"无法判断:没有类型库");
}

}  // namespace
