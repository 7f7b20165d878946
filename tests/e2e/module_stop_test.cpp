// A stop request through the real module while its worker waits in a feed query: message
// 10 and the module's unload each end the query at every stall point, as a failed query,
// with the worker gone and nothing deleted.
#include <stdlib.h>

#include "base/text_utf8.h"
#include "net/http_fetch.h"
#include "system/thread_name.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/stalled_service.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

constexpr char kListBytes[] =
    "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\nhttp://127.0.0.1:1/img/kept.jpg\r\nkept.jpg\r\n";

class ModuleStopTest : public ::testing::TestWithParam<StallPoint> {
 protected:
  ModuleStopTest() : stalled(GetParam(), "/api/v3/art/") {
    ::setenv("ORVELLA_SERVER_URL", stalled.BaseUrl().c_str(), 1);
    ::unsetenv("DISPLAY");
    // A recorded file that no answer will mention: a stop must not make it look unused.
    folder.Write("kept.jpg", "kept");
    folder.Write("rvt_orv_files.lst", kListBytes);
    host.SetInt(L"Enabled", 1);
    host.SetString(L"ImgFolder", Utf8ToWide(folder.path().string()));
    host.SetInt(L"nFeeds", 2);
    for (const wchar_t* feed : {L"Feed0_", L"Feed1_"}) {
      host.SetInt(std::wstring(feed) + L"Type", 1);
      host.SetInt(std::wstring(feed) + L"Flg", 1);
    }
    module.Send(3, FakeHost::callbackArg());
    module.Send(7);
    module.Send(9);
    WaitUntil([&] { return host.CountLogs(L"QueryFeed: ") == 1; });
    stalled.WaitUntilStalled();
  }

  // What every stop leaves: the query failed as the transport does, the second feed was
  // never asked, the worker is gone and the folder is as it was.
  void ExpectEndedAsAFailedQuery() {
    const std::wstring error = std::to_wstring(kFetchStoppedError);
    EXPECT_TRUE(host.Logged(AfterHeaders(GetParam())
                                ? L"InternetReadWholeFile: error " + error +
                                      L" returned by InternetReadFile"
                                : L"InternetOpenUrl() failed, error " + error));
    EXPECT_EQ(host.CountLogs(L"QueryFeed: "), 1);
    EXPECT_EQ(host.CountLogs(L"Refresh 1:"), 0);
    EXPECT_EQ(host.CountLogs(L"     "), 0);  // no items found or queued
    WaitUntil([] { return CountThreadsNamed(kWorkerThreadName) == 0; });
    EXPECT_EQ(folder.Read("kept.jpg"), "kept");
    EXPECT_EQ(folder.Read("rvt_orv_files.lst"), kListBytes);
  }

  ScopedConfigHome config;
  FakeHost host;
  TempDir folder;
  StalledService stalled;
  LoadedModule module;
};

TEST_P(ModuleStopTest, StopMessageEndsTheQuery) {
  EXPECT_EQ(CountThreadsNamed(kWorkerThreadName), 1);
  EXPECT_EQ(module.Send(10, 0, 1), 0);
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(CountThreadsNamed(kWorkerThreadName), 0);  // joined before the message returned
  ExpectEndedAsAFailedQuery();
}

TEST_P(ModuleStopTest, UnloadEndsTheQuery) {
  module.Unload();  // no message 10 first
  const std::size_t lines = host.logs().size();
  ExpectEndedAsAFailedQuery();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(host.logs().size(), lines);  // nothing of the module runs on
}

INSTANTIATE_TEST_SUITE_P(EachStallPoint, ModuleStopTest, ::testing::ValuesIn(kStallPoints),
                         [](const auto& info) { return StallName(info.param); });

}  // namespace
}  // namespace orvella::test
