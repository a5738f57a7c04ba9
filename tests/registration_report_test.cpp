// The texts the window shows after a registration call, built without a window.
#include <gtest/gtest.h>

#include <windows.h>

#include "architecture.h"
#include "registration_report.h"
#include "test_files.h"

namespace {

using architecture::PerArchitecture;
using Ostravel::Machine;
using Ostravel::RegistrationOutcome;
using Ostravel::RegistrationResult;

const std::wstring kPath = L"C:\\a\\b.ocx";
const std::wstring kHead = L"不能打开注册的DLL或OCX控件!C:\\a\\b.ocx\r\n";

std::wstring Report(RegistrationResult result, std::uint32_t detail = 0, std::int32_t mode = 1,
                    const std::wstring& path = kPath) {
  return RegistrationReport(path, mode, RegistrationOutcome{result, detail});
}

TEST(RegistrationReport, SuccessFollowsTheOutcomeNotTheButton) {
  EXPECT_EQ(Report(RegistrationResult::Registered), L"文件注册成功!");
  EXPECT_EQ(Report(RegistrationResult::Unregistered, 0, 2), L"文件反注册成功!");
}

TEST(RegistrationReport, EachFailureGivesThePathThenOneLineOnWhy) {
  EXPECT_EQ(Report(RegistrationResult::NoEntryPoint, 0, 2),
            kHead + L"文件没有 DllUnregisterServer 入口点。");
  EXPECT_EQ(Report(RegistrationResult::TimedOut), kHead + L"入口点 DllRegisterServer 在10秒内没有完成。");
  EXPECT_EQ(Report(RegistrationResult::EntryPointCrashed, 0xC0000005),
            kHead + L"入口点 DllRegisterServer 崩溃了,异常代码 0xC0000005。");
  EXPECT_EQ(Report(RegistrationResult::NothingDone), kHead + L"无法启动注册线程。");

  const std::wstring denied = Report(RegistrationResult::EntryPointFailed, 0x80070005);
  EXPECT_EQ(denied.rfind(kHead + L"入口点 DllRegisterServer 报告失败 0x80070005: ", 0), 0u);
  EXPECT_NE(denied.find(L"管理员权限"), std::wstring::npos) << "access denied asks for rights";
  const std::wstring other = Report(RegistrationResult::EntryPointFailed, 0x80004005);
  EXPECT_EQ(other.find(L"管理员权限"), std::wstring::npos);
  // A code of the server's own, which the system has no text for, still ends as a sentence.
  EXPECT_EQ(Report(RegistrationResult::EntryPointFailed, 0xA0001234),
            kHead + L"入口点 DllRegisterServer 报告失败 0xA0001234。");

  for (const std::wstring& text : {denied, other}) {
    EXPECT_EQ(text.find(L'\n', kHead.size()), std::wstring::npos) << "one line";
  }
}

TEST(RegistrationReport, LoadFailuresGiveTheSystemText) {
  // The loader's message names the file rather than showing a placeholder.
  const std::wstring badFormat = Report(RegistrationResult::NotLoadable, ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(badFormat.rfind(kHead + L"文件无法加载(错误 193): ", 0), 0u);
  EXPECT_EQ(badFormat.find(L"%1"), std::wstring::npos) << testing::PrintToString(badFormat);
  EXPECT_EQ(badFormat.find(L'\n', kHead.size()), std::wstring::npos);
}

// Only a file built for the other tool's machine is blamed on bitness, and the
// text names the tool that loads it. Fixtures of both kinds come from the real
// call: one built by the other compiler, one of our own machine whose DLL is
// missing.
TEST(RegistrationReport, AFileForTheOtherToolNamesItAndNoOtherFileIsBlamedOnBitness) {
  const std::wstring other = test_files::Fixture(L"other_architecture_server.dll");
  EXPECT_EQ(RegistrationReport(other, 1, Ostravel::CallServerRegistration(other, 1)),
            L"不能打开注册的DLL或OCX控件!" + other +
                PerArchitecture(L"\r\n这是64位文件,本工具是32位程序,无法加载它。请改用 Corvantis64.exe。",
                                L"\r\n这是32位文件,本工具是64位程序,无法加载它。请改用 Corvantis.exe。"));

  const test_files::TempFolder dir;
  const std::wstring alone = dir.File(L"needs_helper.dll");
  ASSERT_TRUE(CopyFileW(test_files::Fixture(L"beside\\needs_helper.dll").c_str(), alone.c_str(), FALSE));
  const std::wstring missing = RegistrationReport(alone, 1, Ostravel::CallServerRegistration(alone, 1));
  EXPECT_EQ(missing.rfind(L"不能打开注册的DLL或OCX控件!" + alone + L"\r\n文件无法加载(错误 126): ", 0), 0u)
      << testing::PrintToString(missing);

  // A machine neither tool loads gets the loader's reason too.
  const Machine arm64 = static_cast<Machine>(IMAGE_FILE_MACHINE_ARM64);
  const std::wstring foreign =
      RegistrationReport(kPath, 1, RegistrationOutcome{RegistrationResult::NotLoadable, ERROR_BAD_EXE_FORMAT, arm64});
  EXPECT_EQ(foreign.rfind(kHead + L"文件无法加载(错误 193): ", 0), 0u) << testing::PrintToString(foreign);
}

// A child that never handed back an outcome is told by how it ended, and
// whatever the child noted follows on lines of its own.
TEST(RegistrationReport, AChildsEndIsToldAndItsNotesFollowTheReason) {
  Ostravel::ServerRun run;
  run.end = Ostravel::ChildEnd::ExitedInLoad;
  run.endDetail = 3;
  run.notes = {L"first note", L"second note"};
  EXPECT_EQ(RegistrationReport(kPath, 1, run),
            kHead + L"文件的 DllMain 结束了进程,退出代码 0x00000003。\r\nfirst note\r\nsecond note");

  // Past the limit after the load, it is the entry point that did not finish.
  run = {};
  run.end = Ostravel::ChildEnd::CallTimedOut;
  run.outcome.result = RegistrationResult::TimedOut;
  EXPECT_EQ(RegistrationReport(kPath, 2, run), Report(RegistrationResult::TimedOut, 0, 2));
}

TEST(RegistrationReport, AFolderPathIsRefusedWithItsOwnReason) {
  EXPECT_EQ(FolderPathReport(L"C:\\a\\"), L"不能打开注册的DLL或OCX控件!C:\\a\\\r\n路径是一个文件夹,不是文件。");
}

}  // namespace
