// A server run in a child: this test program, started again with the child's
// switch. The path reaches the child exactly as chosen.
#include <gtest/gtest.h>

#include <windows.h>

#include "child_side.h"
#include "executable_name.h"
#include "fixture_registry.h"
#include "server_child.h"
#include "test_files.h"

using namespace Ostravel;

int main(int argc, char** argv) {
  // This program is also the child that runs the servers.
  if (auto code = RunServerChildIfAsked()) return *code;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

namespace {

ServerRun RunInChild(ServerTask task, const std::wstring& path) {
  return RunServer({task, RegistrationScope::AsTheServerWrites, path, {}});
}

TEST(ServerRun, ThePathReachesTheChildExactly) {
  const test_files::TempFolder dir;
  // Spaces, signs a command line would expand or split at, and Chinese.
  const std::wstring server = dir.File(L"a b%PATH%^&;\\注册 控件.ocx");
  ASSERT_TRUE(CopyFileW(test_files::Fixture(L"good_server.dll").c_str(), server.c_str(), FALSE));
  fixture_registry::Forget();
  const ServerRun registered = RunInChild(ServerTask::Register, server);
  EXPECT_EQ(registered.end, ChildEnd::Reported);
  EXPECT_EQ(registered.outcome.result, RegistrationResult::Registered);
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), server);
  EXPECT_EQ(RunInChild(ServerTask::Unregister, server).outcome.result,
            RegistrationResult::Unregistered);
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt);
  EXPECT_EQ(RunInChild(ServerTask::Register, L"").outcome.result, RegistrationResult::NothingDone);
}

// A child that runs nothing is told by why: one that refused its request (of
// no known task, or from a window of another version) by its own exit code,
// a build of another version by the version it said it is.
TEST(ServerRun, AChildThatRunsNothingIsToldWhy) {
  const std::wstring server = test_files::Fixture(L"good_server.dll");
  fixture_registry::Forget();
  const ServerRun unknownTask =
      ServerChild(toolkit::ExecutablePath())
          .Run({static_cast<ServerTask>(4), RegistrationScope::AsTheServerWrites, server, {}});
  EXPECT_EQ(unknownTask.end, ChildEnd::EndedUnanswered);
  EXPECT_EQ(unknownTask.endDetail, static_cast<std::uint32_t>(ERROR_INVALID_DATA));

  const ServerRun fromOtherWindow =
      ServerChild(toolkit::ExecutablePath())
          .Run(
              {ServerTask::Register, RegistrationScope::AsTheServerWrites, server, {}, L"0.0.0.1"});
  EXPECT_EQ(fromOtherWindow.end, ChildEnd::EndedUnanswered);
  EXPECT_EQ(fromOtherWindow.endDetail, static_cast<std::uint32_t>(ERROR_REVISION_MISMATCH));

  const std::wstring other = test_files::Fixture(L"other_version_child.exe");
  const ServerRun otherChild = ServerChild(other).Run(
      {ServerTask::Register, RegistrationScope::AsTheServerWrites, server, {}});
  EXPECT_EQ(otherChild.end, ChildEnd::OtherVersion);
  EXPECT_EQ(otherChild.childVersion, L"0.0.0.1");
  EXPECT_EQ(otherChild.executable, other);
  EXPECT_EQ(fixture_registry::RegisteredServerPath(), std::nullopt) << "no server ran";
}

}  // namespace
