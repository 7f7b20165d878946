// Messages 9 and 10: when a worker is started, stopped, and never started twice.
#include <stdlib.h>

#include "host/orvella_app.h"
#include "host/orvella_thread.h"
#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

class WorkerMessagesTest : public ::testing::Test {
 protected:
  WorkerMessagesTest() {
    SetLogCallback(FakeHost::callback());
    app.hostCallback.store(FakeHost::callback());
    app.settings.ImgFolder = Utf8ToWide(dir.path().string());
    app.settings.tmUpdate = 1440;
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    engine.monitors = [] { return std::vector<DisplayRect>{}; };
  }
  ~WorkerMessagesTest() override { SetLogCallback(nullptr); }
  intptr_t Send(uintptr_t code, uintptr_t a = 0, uintptr_t b = 0) {
    return app.HandleMessage(code, a, b);
  }
  FakeHost host;
  TempDir dir;
  ArtService art;
  COrvellaApp app;
  COrvellaEngine& engine = app.engine;
};

TEST_F(WorkerMessagesTest, StartNeedsEnabledAndFeedsAndHappensOnce) {
  EXPECT_EQ(Send(9), 0);  // disabled, no feeds
  app.settings.Enabled = 1;
  EXPECT_EQ(Send(9), 0);  // no feeds
  EXPECT_EQ(app.worker, nullptr);
  app.settings.Enabled = 0;
  engine.feeds.Add(COrvellaFeed(1, 5, L""));
  EXPECT_EQ(Send(9), 0);
  EXPECT_EQ(app.worker, nullptr);
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 0);

  app.settings.Enabled = 1;
  EXPECT_EQ(Send(9), 0);
  ASSERT_NE(app.worker, nullptr);
  COrvellaThread* const first = app.worker.get();
  EXPECT_EQ(Send(9), 0);
  EXPECT_EQ(app.worker.get(), first);
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 1);

  WaitUntil([&] { return host.CountLogs(L"Download complete") > 0; });
  EXPECT_EQ(Send(10, 1, 0), 0);  // b = 0: keeps running
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(host.CountLogs(L"COrvellaThread Stopping thread"), 0);

  EXPECT_EQ(Send(10, 0, 1), 0);
  EXPECT_FALSE(first->Running());
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(Send(9), 0);  // the stopped worker's object stays: nothing new starts
  EXPECT_EQ(app.worker.get(), first);
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 1);
}

TEST_F(WorkerMessagesTest, StopWithoutWorkerDoesNothing) {
  EXPECT_EQ(Send(10, 0, 1), 0);
  EXPECT_TRUE(host.logs().empty());
}

}  // namespace
}  // namespace orvella::test
