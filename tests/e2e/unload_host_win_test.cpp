// A host that does not use WinINet itself, as a real one may not: it unloads the module
// while the worker waits in a feed query at each stall point. WinINet stays loaded for the
// operation the stop abandoned, nothing of the module runs on, and the process lives.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "system/thread_name.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/stalled_service.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

class UnloadHostTest : public ::testing::TestWithParam<StallPoint> {};

TEST_P(UnloadHostTest, UnloadWithAQueryWaitingLeavesNothingRunning) {
  // CTest runs each case in a process of its own, where nothing has loaded WinINet yet;
  // run together, the later cases find it kept by the first.
  if (::GetModuleHandleW(L"wininet.dll") != nullptr) std::puts("WinINet was loaded before");
  StalledService stalled(GetParam(), "/api/v3/art/");
  ::_putenv_s("ORVELLA_SERVER_URL", stalled.BaseUrl().c_str());
  ScopedConfigHome config;
  TempDir folder;
  FakeHost host;
  host.SetInt(L"Enabled", 1);
  host.SetString(L"ImgFolder", folder.path().wstring());
  host.SetInt(L"nFeeds", 1);
  host.SetInt(L"Feed0_Type", 1);
  host.SetInt(L"Feed0_Flg", 1);
  {
    LoadedModule module;
    module.Send(3, FakeHost::callbackArg());
    module.Send(7);
    module.Send(9);
    while (host.CountLogs(L"QueryFeed: ") == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stalled.WaitUntilStalled();
  }  // unloaded here
  EXPECT_EQ(::GetModuleHandleW(L"Orvella.rpl"), nullptr);
  while (CountThreadsNamed(kWorkerThreadName) > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::size_t lines = host.logs().size();
  std::this_thread::sleep_for(std::chrono::seconds(1));  // time for anything left to run
  EXPECT_EQ(host.logs().size(), lines);
  EXPECT_NE(::GetModuleHandleW(L"wininet.dll"), nullptr);
  ::_putenv_s("ORVELLA_SERVER_URL", "");
}

INSTANTIATE_TEST_SUITE_P(EachStallPoint, UnloadHostTest, ::testing::ValuesIn(kStallPoints),
                         [](const auto& info) { return StallName(info.param); });

}  // namespace
}  // namespace orvella::test
