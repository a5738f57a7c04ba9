// Files named on the command line, and several files run as one batch whose
// result list fills as each ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "batch_list.h"
#include "control_ids.h"
#include "dialog_driver.h"
#include "fixture_registry.h"
#include "test_files.h"
#include "tool_process.h"

namespace {

using namespace std::chrono_literals;
using dialog_driver::WaitUntil;
using dialog_driver::WindowText;
using test_files::Fixture;
using tool_process::Tool;
using tool_process::ToolPath;
using Rows = std::vector<std::vector<std::wstring>>;

constexpr wchar_t kFailure[] = L"不能打开注册的DLL或OCX控件!";
constexpr wchar_t kRegistered[] = L"文件注册成功!";

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// A copy of the good server under another name, which registers as it does.
std::wstring CopyOfGoodServer(const test_files::TempFolder& folder, const std::wstring& name) {
  const std::wstring copy = folder.File(name);
  std::filesystem::copy_file(Fixture(L"good_server.dll"), copy);
  return copy;
}

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) : before_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() { std::filesystem::current_path(before_); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path before_;
};

class Batch : public testing::Test {
 protected:
  void SetUp() override { fixture_registry::Forget(); }
  void TearDown() override { fixture_registry::Forget(); }

  // Starts the tool with `arguments` and waits until its path box shows `shown`.
  void Start(const std::vector<std::wstring>& arguments, const std::wstring& shown) {
    tool_ = std::make_unique<Tool>(ToolPath(), kFrmRegisterClass, arguments);
    ASSERT_NE(tool_->Window(), nullptr) << "the tool's window never showed";
    ASSERT_TRUE(WaitUntil([&] { return WindowText(tool_->Control(kPathBox)) == shown; }, 10s))
        << testing::PrintToString(WindowText(tool_->Control(kPathBox)));
  }

  // Presses register and waits for the result list to show.
  HWND RegisterAll() {
    tool_->Press(kRegisterButton);
    HWND list = nullptr;
    WaitUntil(
        [&] { return (list = dialog_driver::FindWindowOf(tool_->ProcessId(), kBatchListClass)); },
        10s);
    return list;
  }

  // Until the batch has ended: nothing left to stop, and the window's
  // commands free again.
  bool WaitForEnd(HWND list, std::chrono::milliseconds limit) {
    return WaitUntil(
        [&] {
          return !IsWindowEnabled(GetDlgItem(list, kBatchStop)) &&
                 IsWindowEnabled(tool_->Control(kRegisterButton));
        },
        limit);
  }

  Rows ListRows(HWND list) { return tool_->ListRows(GetDlgItem(list, kBatchList)); }

  std::unique_ptr<Tool> tool_;
};

// "Open with" starts the tool with the file: held, and nothing runs before a
// button is pressed, after which a single file keeps its message.
TEST_F(Batch, AFileOnTheCommandLineIsHeldAsIfPickedAndRunsOnlyWhenPressed) {
  const std::wstring server = Fixture(L"good_server.dll");
  Start({server}, server);
  EXPECT_TRUE(IsWindowEnabled(tool_->Control(kRegisterButton)));
  EXPECT_FALSE(IsWindowVisible(tool_->Control(kProgressBar)));
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);
  tool_->Press(kRegisterButton);
  EXPECT_EQ(tool_->TakeMessage(), kRegistered);
  EXPECT_TRUE(fixture_registry::RegisteredServerPath().has_value());
}

// A folder gives its .ocx and .dll files in name order; its subfolder only
// when the user says so, and here the user says no.
TEST_F(Batch, AFolderOnTheCommandLineGivesItsServerFilesInNameOrder) {
  const test_files::TempFolder folder;
  const std::wstring second = CopyOfGoodServer(folder, L"b.ocx");
  const std::wstring first = CopyOfGoodServer(folder, L"a.dll");
  folder.Create(L"notes.txt");
  CopyOfGoodServer(folder, L"sub\\c.dll");

  tool_ = std::make_unique<Tool>(ToolPath(), kFrmRegisterClass, std::vector{folder.Path()});
  ASSERT_NE(tool_->Window(), nullptr);
  HWND question = tool_->WaitForDialog();
  ASSERT_NE(question, nullptr) << "no question on the subfolder";
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Contains(dialog_driver::ControlText(question, dialog_driver::kMessageBoxTextId),
                        folder.Path());
      },
      5s));
  dialog_driver::PressButton(question, IDNO);
  ASSERT_TRUE(
      WaitUntil([&] { return WindowText(tool_->Control(kPathBox)) == L"已选择 2 个文件"; }, 10s))
      << testing::PrintToString(WindowText(tool_->Control(kPathBox)));

  HWND list = RegisterAll();
  ASSERT_NE(list, nullptr) << "no result list";
  ASSERT_TRUE(WaitForEnd(list, 30s));
  EXPECT_EQ(ListRows(list), (Rows{{first, kRegistered, L""}, {second, kRegistered, L""}}));
}

TEST_F(Batch, AMissingPathOnTheCommandLineGetsTheMissingFileMessage) {
  const test_files::TempFolder folder;
  const std::wstring missing = folder.File(L"missing.ocx");
  tool_ = std::make_unique<Tool>(ToolPath(), kFrmRegisterClass, std::vector{missing});
  ASSERT_NE(tool_->Window(), nullptr);
  const std::wstring text = tool_->TakeMessage();
  EXPECT_EQ(text.rfind(kFailure + missing + L"\r\n文件无法加载(错误 2)", 0), 0u)
      << testing::PrintToString(text);
  EXPECT_EQ(WindowText(tool_->Control(kPathBox)), L"");
  EXPECT_FALSE(IsWindowEnabled(tool_->Control(kRegisterButton)));
}

// Each file of a batch gets its row in order, in the words of its single-file
// message, however the one before it ended; no message box comes between. The
// three are picked together in the open dialog.
TEST_F(Batch, GoodFailingAndCrashingServersEachGetTheirRowAndTheGoodOneIsRegistered) {
  const std::wstring good = Fixture(L"good_server.dll"), failing = Fixture(L"failing_server.dll"),
                     crashing = Fixture(L"crashing_server.dll");
  {
    // The open dialog starts in the tool's current folder, which it takes from
    // the test's.
    const CurrentFolder fixtures(test_files::Fixture(L""));
    Start({}, L"");
  }
  tool_->Press(kOpenButton);
  HWND dialog = tool_->WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  dialog_driver::TypeFileName(
      dialog, L"\"good_server.dll\" \"failing_server.dll\" \"crashing_server.dll\"");
  dialog_driver::PressButton(dialog, IDOK);
  ASSERT_TRUE(
      WaitUntil([&] { return WindowText(tool_->Control(kPathBox)) == L"已选择 3 个文件"; }, 10s))
      << testing::PrintToString(WindowText(tool_->Control(kPathBox)));
  HWND list = RegisterAll();
  ASSERT_NE(list, nullptr) << "no result list";
  ASSERT_TRUE(WaitForEnd(list, 60s));
  const Rows rows = ListRows(list);
  ASSERT_EQ(rows.size(), 3u) << testing::PrintToString(rows);
  EXPECT_EQ(rows[0], (std::vector<std::wstring>{good, kRegistered, L""}));
  EXPECT_EQ(rows[1][0], failing);
  EXPECT_EQ(rows[1][1], kFailure);
  EXPECT_TRUE(Contains(rows[1][2], L"报告失败 0x80070005")) << testing::PrintToString(rows[1][2]);
  EXPECT_EQ(rows[2][0], crashing);
  EXPECT_EQ(rows[2][1], kFailure);
  EXPECT_TRUE(Contains(rows[2][2], L"异常代码 0xC0000005")) << testing::PrintToString(rows[2][2]);
  EXPECT_TRUE(fixture_registry::RegisteredServerPath().has_value());
  EXPECT_EQ(tool_->WaitForDialog(0ms), nullptr) << "a batch shows no message box";
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(list, kBatchStop)));
  EXPECT_TRUE(tool_->Responsive());
}

// Stop lets the hanging server run out its limit, then runs no other file:
// those get rows that say they did not run, and the good server stays
// unregistered.
TEST_F(Batch, StopEndsTheBatchAfterTheCurrentFile) {
  const std::wstring hanging = Fixture(L"hanging_server.dll"), good = Fixture(L"good_server.dll"),
                     failing = Fixture(L"failing_server.dll");
  Start({hanging, good, failing}, L"已选择 3 个文件");
  HWND list = RegisterAll();
  ASSERT_NE(list, nullptr) << "no result list";
  HWND stop = GetDlgItem(list, kBatchStop);
  ASSERT_TRUE(IsWindowEnabled(stop));
  tool_->Click(stop);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(stop); }, 5s)) << "Stop was not taken";
  EXPECT_FALSE(IsWindowEnabled(tool_->Control(kRegisterButton))) << "the hanging server still runs";

  ASSERT_TRUE(WaitForEnd(list, 30s));
  const Rows rows = ListRows(list);
  ASSERT_EQ(rows.size(), 3u) << testing::PrintToString(rows);
  EXPECT_EQ(rows[0][0], hanging);
  EXPECT_TRUE(Contains(rows[0][2], L"在10秒内没有完成")) << testing::PrintToString(rows[0][2]);
  EXPECT_EQ(rows[1][0], good);
  EXPECT_EQ(rows[2][0], failing);
  EXPECT_EQ(rows[1][1], L"未运行");
  EXPECT_EQ(rows[2][1], L"未运行");
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);
  EXPECT_TRUE(tool_->Responsive());
}

}  // namespace
