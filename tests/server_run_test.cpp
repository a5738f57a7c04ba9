// A server run in a child: this test program, started again with the child's
// switch. The path reaches the child exactly as chosen.
#include <gtest/gtest.h>

#include <windows.h>

#include "child_side.h"
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

}  // namespace
