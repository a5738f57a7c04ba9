// Servers that would take down any process that runs them, run by the real
// window: each runs in a child, the window says truly how it ended and works
// on at once. And servers of the other bitness, handed to the tool beside it.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>

#include "../fixtures/preview_fixtures.h"
#include "architecture.h"
#include "control_ids.h"
#include "dialog_driver.h"
#include "fixture_registry.h"
#include "test_files.h"
#include "tool_process.h"

namespace {

using namespace std::chrono_literals;
using architecture::PerArchitecture;
using dialog_driver::WaitUntil;
using dialog_driver::WindowText;
using test_files::Fixture;
using tool_process::Tool;
using Clock = std::chrono::steady_clock;

const wchar_t* const kOwnFile = TOOL_FILE_NAME;
const wchar_t* const kOtherFile = PerArchitecture(L"Corvantis64.exe", L"Corvantis.exe");

std::wstring Failure(const std::wstring& path, const std::wstring& reason) {
  return L"不能打开注册的DLL或OCX控件!" + path + L"\r\n" + reason;
}

// The other architecture's tool, as scripts/test.sh builds both trees side by side.
std::wstring OtherBuild() {
  return test_files::TestFolder() + PerArchitecture(L"\\..\\..\\x64\\", L"\\..\\..\\x86\\") +
         kOtherFile;
}

// Whether this machine starts `exe`: given the child's switch and no pipe to
// talk to, the tool ends at once with its own code.
bool Starts(const std::wstring& exe) {
  std::wstring commandLine = L"\"" + exe + L"\" /corvantis-child none";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  DWORD code = 0;
  const bool ended = WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(info.hProcess, &code);
  if (!ended) TerminateProcess(info.hProcess, 1);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return ended && code == ERROR_INVALID_PARAMETER;
}

// Whether some copy of the late writer is still in its call, and may write.
bool LateWriterRunning() {
  HANDLE running = OpenMutexW(SYNCHRONIZE, FALSE, LATE_WRITER_RUNNING);
  if (!running) return GetLastError() != ERROR_FILE_NOT_FOUND;
  CloseHandle(running);
  return true;
}

class ServerChild : public testing::Test {
 protected:
  // Declared first, so that a tool started from it has ended before it goes.
  test_files::TempFolder folder;
  std::optional<Tool> tool;

  void Start(const std::wstring& exe = tool_process::ToolPath()) {
    tool.emplace(exe, kFrmRegisterClass);
    ASSERT_NE(tool->Window(), nullptr) << "the tool's window never showed";
  }
  // The tool copied into the test's folder, alone or with the other beside it.
  std::wstring Copy(const std::wstring& from, const wchar_t* name) {
    const std::wstring to = folder.File(name);
    EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << testing::PrintToString(from);
    return to;
  }

  // Holds `server`, presses `button` and takes the message that follows.
  std::wstring MessageFor(const std::wstring& server, int button) {
    if (WindowText(tool->Control(kPathBox)) != server) tool_process::Choose(*tool, server);
    tool->Press(button);
    return tool->TakeMessage(nullptr, 40s);
  }

  // Answers, offers every command again, and registers a server at once.
  void ExpectWorking() {
    EXPECT_TRUE(tool->Responsive());
    for (int id : {kOpenButton, kRegisterButton, kUnregisterButton, kPreviewButton}) {
      EXPECT_TRUE(IsWindowEnabled(tool->Control(id))) << id;
    }
    EXPECT_EQ(MessageFor(Fixture(L"quick_server.dll"), kRegisterButton), L"文件注册成功!");
  }
};

TEST_F(ServerChild, AServerThatEndsTheProcessIsToldWithItsExitCode) {
  Start();
  const std::wstring server = Fixture(L"exiting_server.dll");
  EXPECT_EQ(MessageFor(server, kRegisterButton),
            Failure(server, L"入口点 DllRegisterServer 结束了进程,退出代码 0x0000002A。"));
  EXPECT_EQ(MessageFor(server, kUnregisterButton),
            Failure(server, L"入口点 DllUnregisterServer 结束了进程,退出代码 0x0000002A。"));
  ExpectWorking();
}

// The classic deadlock under the loader lock: the window answers throughout,
// and the child is ended at the limit.
TEST_F(ServerChild, ADllMainThatNeverReturnsIsEndedAtTheLimit) {
  Start();
  const std::wstring server = Fixture(L"stuck_dllmain.dll");
  tool_process::Choose(*tool, server);
  const auto pressed = Clock::now();
  tool->Press(kRegisterButton);
  bool hung = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        hung = hung || IsHungAppWindow(tool->Window()) || !tool->Responsive();
        return tool->WaitForDialog(0ms) != nullptr;
      },
      40s))
      << "no outcome";
  EXPECT_FALSE(hung);
  EXPECT_GE(Clock::now() - pressed, 10s);
  EXPECT_EQ(tool->TakeMessage(), Failure(server, L"文件的 DllMain 在10秒内没有返回。"));
  ExpectWorking();
}

// The late writer waits for the test's word: given it as soon as the outcome
// is shown, any copy of it left running would write at once.
TEST_F(ServerChild, AnEntryPointPastTheLimitIsEndedAndWritesNothingAfterwards) {
  RegDeleteTreeW(HKEY_CURRENT_USER, LATE_WRITER_KEY);
  const std::unique_ptr<void, decltype(&CloseHandle)> go(
      CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_GO), CloseHandle);
  const std::unique_ptr<void, decltype(&CloseHandle)> written(
      CreateEventW(nullptr, TRUE, FALSE, LATE_WRITER_WRITTEN), CloseHandle);
  ResetEvent(go.get());
  ResetEvent(written.get());
  Start();
  const std::wstring server = Fixture(L"late_writer.dll");
  EXPECT_EQ(MessageFor(server, kRegisterButton),
            Failure(server, L"入口点 DllRegisterServer 在10秒内没有完成。"));
  SetEvent(go.get());
  EXPECT_TRUE(WaitUntil([] { return !LateWriterRunning(); }, 10s))
      << "the server still runs after its outcome was shown";
  EXPECT_EQ(WaitForSingleObject(written.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, LATE_WRITER_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
  ExpectWorking();
}

// As the release package lays them out: each tool hands a server of the other
// bitness to the other, and the user never sees the difference.
TEST_F(ServerChild, EachToolRegistersAServerOfTheOtherBitnessThroughTheToolBesideIt) {
  const std::wstring own = Copy(tool_process::ToolPath(), kOwnFile);
  const std::wstring other = Copy(OtherBuild(), kOtherFile);
  if (!Starts(own) || !Starts(other)) {
    GTEST_SKIP() << "this machine does not run both " << testing::PrintToString(own) << " and "
                 << testing::PrintToString(other)
                 << ": a 64-bit system without 32-bit support, or a 32-bit system";
  }
  struct Case {
    std::wstring tool, server;
  };
  for (const Case& c : {Case{own, Fixture(L"other_architecture_server.dll")},
                        Case{other, Fixture(L"good_server.dll")}}) {
    SCOPED_TRACE(testing::PrintToString(c.tool));
    Start(c.tool);
    EXPECT_EQ(MessageFor(c.server, kRegisterButton), L"文件注册成功!");
    if (c.tool == other) {
      // A server of this test's own bitness: its key is in the view the test reads.
      EXPECT_EQ(fixture_registry::RegisteredServerPath(), c.server);
    }
    EXPECT_EQ(MessageFor(c.server, kUnregisterButton), L"文件反注册成功!");
    tool.reset();
  }
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);
}

// Only a missing tool is named as the one to use; one that is there but cannot
// be started is said to be so, not blamed on the server.
TEST_F(ServerChild, AMissingOtherToolIsNamedAndOneThatCannotStartIsToldSo) {
  Start(Copy(tool_process::ToolPath(), kOwnFile));
  const std::wstring server = Fixture(L"other_architecture_server.dll");
  EXPECT_EQ(
      MessageFor(server, kRegisterButton),
      Failure(server, PerArchitecture<std::wstring>(
                          L"这是64位文件,本工具是32位程序,无法加载它。请改用 Corvantis64.exe。",
                          L"这是32位文件,本工具是64位程序,无法加载它。请改用 Corvantis.exe。")));

  std::ofstream(folder.File(kOtherFile).c_str()) << "This is no program.\n";
  const std::wstring refused = MessageFor(server, kRegisterButton);
  EXPECT_EQ(refused.rfind(Failure(server, L"无法启动 " + std::wstring(kOtherFile) + L"(错误 "), 0),
            0u)
      << testing::PrintToString(refused);
  ExpectWorking();
}

}  // namespace
