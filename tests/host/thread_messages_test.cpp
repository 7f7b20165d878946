// Messages 9 and 10: when a worker is started, stopped, and never started twice.
#include <stdlib.h>

#include "host/orvella_thread.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

class WorkerMessagesTest : public EngineTest {
 protected:
  WorkerMessagesTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    engine.monitors = [] { return std::vector<DisplayRect>{}; };
  }
  intptr_t Send(uintptr_t code, uintptr_t a = 0, uintptr_t b = 0) {
    return app.HandleMessage(code, a, b);
  }
  ArtService art;
};

TEST_F(WorkerMessagesTest, StartNeedsEnabledAndFeedsAndHappensOnce) {
  EXPECT_EQ(Send(9), 0);  // disabled, no feeds
  app.Enabled = 1;
  EXPECT_EQ(Send(9), 0);  // no feeds
  EXPECT_EQ(engine.thread, nullptr);
  app.Enabled = 0;
  engine.feeds.Add(COrvellaFeed(1, 5, L""));
  EXPECT_EQ(Send(9), 0);
  EXPECT_EQ(engine.thread, nullptr);
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 0);

  app.Enabled = 1;
  EXPECT_EQ(Send(9), 0);
  ASSERT_NE(engine.thread, nullptr);
  COrvellaThread* const first = engine.thread.get();
  EXPECT_EQ(Send(9), 0);
  EXPECT_EQ(engine.thread.get(), first);
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 1);

  WaitUntil([&] { return host.CountLogs(L"Download complete") > 0; });
  EXPECT_EQ(Send(10, 1, 0), 0);  // b = 0: keeps running
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(host.CountLogs(L"COrvellaThread Stopping thread"), 0);

  EXPECT_EQ(Send(10, 0, 1), 0);
  EXPECT_FALSE(first->Running());
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(Send(9), 0);  // the stopped worker's object stays: nothing new starts
  EXPECT_EQ(engine.thread.get(), first);
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 1);
}

TEST_F(WorkerMessagesTest, StopWithoutWorkerDoesNothing) {
  EXPECT_EQ(Send(10, 0, 1), 0);
  EXPECT_TRUE(host.logs().empty());
}

}  // namespace
}  // namespace orvella::test
