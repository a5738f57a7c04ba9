// The texts the window shows after a registration call, built without a window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "architecture.h"
#include "load_failure.h"
#include "registration_report.h"
#include "system_message.h"
#include "test_files.h"

namespace {

using architecture::PerArchitecture;
using Ostravel::Machine;
using Ostravel::RegistrationOutcome;
using Ostravel::RegistrationResult;
using Ostravel::ServerTask;

const std::wstring kPath = L"C:\\a\\b.ocx";
const std::wstring kHead = L"不能打开注册的DLL或OCX控件!C:\\a\\b.ocx\r\n";

// Points the image's COM descriptor directory (data directory 14) at its
// headers, as a .NET compiler's output has one.
void MarkManaged(const std::wstring& path) {
  std::fstream file(path.c_str(), std::ios::in | std::ios::out | std::ios::binary);
  IMAGE_DOS_HEADER dos{};
  file.read(reinterpret_cast<char*>(&dos), sizeof dos);
  WORD magic = 0;
  const std::streamoff optional = dos.e_lfanew + 4 + sizeof(IMAGE_FILE_HEADER);
  file.seekg(optional);
  file.read(reinterpret_cast<char*>(&magic), sizeof magic);
  const std::streamoff directories =
      optional + (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                      ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                      : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
  const IMAGE_DATA_DIRECTORY clr{0x40, 0x48};
  file.seekp(directories + IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR * sizeof clr);
  file.write(reinterpret_cast<const char*>(&clr), sizeof clr);
  ASSERT_TRUE(file.good());
}

std::wstring Report(RegistrationResult result, std::uint32_t detail = 0,
                    ServerTask task = ServerTask::Register, const std::wstring& path = kPath) {
  return RegistrationReport(path, task, RegistrationOutcome{result, detail});
}

TEST(RegistrationReport, SuccessFollowsTheOutcomeNotTheButton) {
  EXPECT_EQ(Report(RegistrationResult::Registered), L"文件注册成功!");
  EXPECT_EQ(Report(RegistrationResult::Unregistered, 0, ServerTask::Unregister),
            L"文件反注册成功!");
}

TEST(RegistrationReport, EachFailureGivesThePathThenOneLineOnWhy) {
  EXPECT_EQ(Report(RegistrationResult::NoEntryPoint, 0, ServerTask::Unregister),
            kHead + L"文件没有 DllUnregisterServer 入口点。");
  EXPECT_EQ(Report(RegistrationResult::TimedOut),
            kHead + L"入口点 DllRegisterServer 在10秒内没有完成。");
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

// The one reader of the system's texts, under both the report and the preview's
// error lines: the text without the line break the system ends it with, and
// nothing for a code the system has no text for.
TEST(SystemMessage, TheTextEndsWithoutItsLineBreakAndAnUnknownCodeHasNone) {
  for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ERROR_ACCESS_DENIED}) {
    const std::wstring text = toolkit::SystemMessage(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), L'\n') << code;
    EXPECT_NE(text.back(), L'\r') << code;
  }
  EXPECT_EQ(toolkit::SystemMessage(0x2000ABCD), L"") << "a customer code has no system text";
}

// Only a file built for the other tool's machine is blamed on bitness, and the
// text names the tool that loads it. Fixtures of both kinds come from the real
// call: one built by the other compiler, one of our own machine whose DLL is
// missing.
TEST(RegistrationReport, AFileForTheOtherToolNamesItAndNoOtherFileIsBlamedOnBitness) {
  const std::wstring other = test_files::Fixture(L"other_architecture_server.dll");
  EXPECT_EQ(
      RegistrationReport(other, ServerTask::Register, Ostravel::CallServerRegistration(other, 1)),
      L"不能打开注册的DLL或OCX控件!" + other +
          PerArchitecture(L"\r\n这是64位文件,本工具是32位程序,无法加载它。请改用 Corvantis64.exe。",
                          L"\r\n这是32位文件,本工具是64位程序,无法加载它。请改用 Corvantis.exe。"));

  const test_files::TempFolder dir;
  const std::wstring alone = dir.File(L"needs_helper.dll");
  ASSERT_TRUE(
      CopyFileW(test_files::Fixture(L"beside\\needs_helper.dll").c_str(), alone.c_str(), FALSE));
  const std::wstring missing =
      RegistrationReport(alone, ServerTask::Register, Ostravel::CallServerRegistration(alone, 1));
  EXPECT_EQ(
      missing.rfind(L"不能打开注册的DLL或OCX控件!" + alone + L"\r\n文件无法加载(错误 126): ", 0),
      0u)
      << testing::PrintToString(missing);

  // A machine neither tool loads gets the loader's reason too.
  const Machine arm64 = static_cast<Machine>(IMAGE_FILE_MACHINE_ARM64);
  const std::wstring foreign = RegistrationReport(
      kPath, ServerTask::Register,
      RegistrationOutcome{RegistrationResult::NotLoadable, ERROR_BAD_EXE_FORMAT, arm64});
  EXPECT_EQ(foreign.rfind(kHead + L"文件无法加载(错误 193): ", 0), 0u)
      << testing::PrintToString(foreign);
}

// Why a file does not register, named under the loader's reason. Each case
// makes the real call on a fixture that fails one way, and reads the lines
// after the reason.
class LoadFailureReport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetDllDirectoryW(L""); }

  // The report as the window shows it, with the causes the child notes
  // under the reason.
  static std::wstring ReportWithCauses(const std::wstring& path, ServerTask task,
                                       const RegistrationOutcome& outcome) {
    Ostravel::ServerRun run;
    run.outcome = outcome;
    run.notes = inspection::ExplainLoadFailure(path, task, outcome);
    return RegistrationReport(path, task, run);
  }

  // The report's lines after the path and the reason.
  static std::vector<std::wstring> CausesIn(const std::wstring& report) {
    std::vector<std::wstring> lines;
    for (std::size_t at = 0; at != std::wstring::npos;) {
      const std::size_t end = report.find(L"\r\n", at);
      lines.push_back(report.substr(at, end == std::wstring::npos ? end : end - at));
      at = end == std::wstring::npos ? end : end + 2;
    }
    EXPECT_GE(lines.size(), 2u) << testing::PrintToString(report);
    lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(2, lines.size()));
    return lines;
  }

  // The same, for a real registration of `path`.
  static std::vector<std::wstring> Causes(const std::wstring& path,
                                          ServerTask task = ServerTask::Register) {
    return CausesIn(ReportWithCauses(
        path, task, Ostravel::CallServerRegistration(path, Ostravel::EngineMode(task))));
  }

  // `fixture` copied into a scratch folder as `name`, alone.
  std::wstring Alone(const std::wstring& fixture, const std::wstring& name) {
    const std::wstring copy = dir_.File(name);
    EXPECT_TRUE(CopyFileW(test_files::Fixture(fixture).c_str(), copy.c_str(), FALSE));
    return copy;
  }

  test_files::TempFolder dir_;
};

TEST_F(LoadFailureReport, AMissingDllIsNamedWithWhatNeedsIt) {
  EXPECT_EQ(Causes(Alone(L"beside\\needs_helper.dll", L"dep.dll")),
            std::vector<std::wstring>{L"缺少 fixture_helper.dll(dep.dll 需要它)"});
  EXPECT_EQ(
      Causes(test_files::Fixture(L"chain\\chain_server.dll")),
      std::vector<std::wstring>{
          L"缺少 chain_runtime.dll(chain_server.dll → chain_vendor.dll → chain_runtime.dll)"});
}

// Wine's loader loads the file and the call raises 0x80000100 instead: the
// report names the function whatever the load did.
TEST_F(LoadFailureReport, AFunctionTheDllLacksIsNamed) {
  EXPECT_EQ(Causes(test_files::Fixture(L"gone\\gone_server.dll")),
            std::vector<std::wstring>{L"helper.dll 缺少函数 helper_gone(gone_server.dll 需要它)"});
}

TEST_F(LoadFailureReport, ACandidateOfTheOtherBitnessIsNamedAsSkipped) {
  const std::wstring dep = Alone(L"beside\\needs_helper.dll", L"dep.dll");
  const std::wstring other = Alone(L"other_bitness\\fixture_helper.dll", L"fixture_helper.dll");
  EXPECT_EQ(Causes(dep), (std::vector<std::wstring>{
                             L"缺少 fixture_helper.dll(dep.dll 需要它)",
                             L"已跳过 " + other +
                                 PerArchitecture(L":这是64位文件,dep.dll 需要32位的。",
                                                 L":这是32位文件,dep.dll 需要64位的。")}));
}

TEST_F(LoadFailureReport, TheWrongKindOfFileIsNamedBeforeAnyDependency) {
  const std::wstring text = dir_.File(L"readme.ocx");
  { std::ofstream(text.c_str()) << "not a library"; }
  EXPECT_EQ(Causes(text), std::vector<std::wstring>{L"文件不是 PE 映像,不是 DLL 或 OCX 控件。"});

  // A .NET assembly: a DLL with a CLR header and no registration entry point.
  const std::wstring managed = Alone(L"no_entry_points.dll", L"managed.dll");
  MarkManaged(managed);
  EXPECT_EQ(Causes(managed),
            std::vector<std::wstring>{
                L"这是 .NET 程序集:请用 .NET 的注册工具 RegAsm 注册它,不能用本工具。"});
}

TEST_F(LoadFailureReport, DelayLoadsAndSideBySideAssembliesAreNamed) {
  const std::wstring delay = test_files::Fixture(L"delay_server.dll");
  const std::vector<std::wstring> missingDelay{
      L"缺少延迟加载的 delay_missing.dll(delay_server.dll 需要它)"};
  EXPECT_EQ(CausesIn(ReportWithCauses(
                delay, ServerTask::Register,
                RegistrationOutcome{RegistrationResult::EntryPointCrashed, 0xC06D007E})),
            missingDelay);
  // GNU ld 2.40 leaves the x86 fixture's delay-load slot empty, so there its
  // call faults before the delay helper can raise 0xC06D007E.
  if (architecture::kIs64Bit) {
    EXPECT_EQ(Causes(delay), missingDelay);
  }
  // Any other failure leaves a delay-loaded DLL out: it is not needed to load.
  EXPECT_EQ(CausesIn(ReportWithCauses(
                delay, ServerTask::Register,
                RegistrationOutcome{RegistrationResult::EntryPointCrashed, 0xC0000005})),
            std::vector<std::wstring>{});
  // Wine loads a DLL whose assembly is missing; Windows refuses it with 14001.
  const std::wstring sxs = test_files::Fixture(L"sxs_server.dll");
  const std::wstring refused = ReportWithCauses(
      sxs, ServerTask::Register,
      RegistrationOutcome{RegistrationResult::NotLoadable, ERROR_SXS_CANT_GEN_ACTCTX});
  EXPECT_NE(refused.find(L"\r\n文件无法加载(错误 14001)"), std::wstring::npos)
      << testing::PrintToString(refused);
  EXPECT_EQ(CausesIn(refused),
            std::vector<std::wstring>{
                L"缺少并行程序集 Corvantis.Fixture.Runtime 9.0.21022.8(sxs_server.dll 需要它)"});
}

// Nothing in the files explains a DllMain that refuses: the loader's reason
// stays, with the word that the cause is dynamic. A file without the entry
// point is said to lack it once, and is not worth loading.
TEST_F(LoadFailureReport, WhatTheFilesCannotShowIsSaidToBeDynamic) {
  EXPECT_EQ(Causes(test_files::Fixture(L"refusing_dllmain.dll")),
            std::vector<std::wstring>{L"文件本身没有发现缺少的 DLL 或函数:原因在加载时才出现,例如 "
                                      L"DllMain 返回失败(错误 1114)。"});

  const std::wstring noEntry = test_files::Fixture(L"no_entry_points.dll");
  EXPECT_EQ(Causes(noEntry), std::vector<std::wstring>{});
  const auto before = inspection::OutcomeBeforeLoad(noEntry, ServerTask::Unregister);
  ASSERT_TRUE(before.has_value()) << "not worth loading";
  EXPECT_EQ(before->result, RegistrationResult::NoEntryPoint);
  EXPECT_EQ(
      inspection::OutcomeBeforeLoad(test_files::Fixture(L"good_server.dll"), ServerTask::Register),
      std::nullopt);
  EXPECT_EQ(inspection::OutcomeBeforeLoad(test_files::Fixture(L"other_architecture_server.dll"),
                                          ServerTask::Register),
            std::nullopt)
      << "the load names the other tool";
  // Told to the loader, a file it refused for its export table has it said from that table.
  const std::wstring report =
      ReportWithCauses(noEntry, ServerTask::Register,
                       RegistrationOutcome{RegistrationResult::NotLoadable, ERROR_DLL_INIT_FAILED});
  EXPECT_EQ(CausesIn(report), std::vector<std::wstring>{L"导出表里没有 DllRegisterServer。"});
}

// A child that never handed back an outcome is told by how it ended, and
// whatever the child noted follows on lines of its own.
TEST(RegistrationReport, AChildsEndIsToldAndItsNotesFollowTheReason) {
  Ostravel::ServerRun run;
  run.end = Ostravel::ChildEnd::ExitedInLoad;
  run.endDetail = 3;
  run.notes = {L"first note", L"second note"};
  EXPECT_EQ(
      RegistrationReport(kPath, ServerTask::Register, run),
      kHead + L"文件的 DllMain 结束了进程,退出代码 0x00000003。\r\nfirst note\r\nsecond note");

  // Past the limit after the load, it is the entry point that did not finish.
  run = {};
  run.end = Ostravel::ChildEnd::CallTimedOut;
  run.outcome.result = RegistrationResult::TimedOut;
  EXPECT_EQ(RegistrationReport(kPath, ServerTask::Unregister, run),
            Report(RegistrationResult::TimedOut, 0, ServerTask::Unregister));
}

// A child that ran nothing says why: a build of another version names both
// versions, and one that ended unasked gives its exit code.
TEST(RegistrationReport, AChildOfAnotherVersionOrThatEndedUnaskedIsNamed) {
  Ostravel::ServerRun run;
  run.end = Ostravel::ChildEnd::OtherVersion;
  run.executable = L"C:\\tools\\Corvantis.exe";
  run.childVersion = L"0.1.0.5";
  EXPECT_EQ(RegistrationReport(kPath, ServerTask::Register, run),
            kHead + L"启动的 Corvantis.exe 的版本(0.1.0.5)与本工具的版本(" +
                Ostravel::kToolVersion + L")不同,文件的代码没有运行。请一起重新安装两个工具。");
  run.end = Ostravel::ChildEnd::EndedUnanswered;
  run.endDetail = ERROR_INVALID_DATA;
  EXPECT_EQ(
      RegistrationReport(kPath, ServerTask::Preview, run),
      kHead + L"启动的 Corvantis.exe 没有应答就结束了,退出代码 0x0000000D,文件的代码没有运行。");
}

TEST(RegistrationReport, AFolderPathIsRefusedWithItsOwnReason) {
  EXPECT_EQ(FolderPathReport(L"C:\\a\\"),
            L"不能打开注册的DLL或OCX控件!C:\\a\\\r\n路径是一个文件夹,不是文件。");
}

}  // namespace
