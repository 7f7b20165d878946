// The worker thread: waking and stopping it, its exception guard and restart, and a stop
// that times out.
#include <stdlib.h>

#include <stdexcept>

#include "host/orvella_thread.h"
#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;

// A monitor source that throws on a chosen call, counted across the worker's passes, and
// that can be held: work that does not look at the stop flag.
std::atomic<int> g_calls{0};
std::atomic<int> g_throwOnCall{0};
std::atomic<bool> g_hold{false};
std::vector<DisplayRect> FlakyMonitors() {
  if (++g_calls == g_throwOnCall.load()) throw std::runtime_error("monitor list unavailable");
  while (g_hold.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return {{0, 0, 1280, 720}};
}

class WorkerTest : public EngineTest {
 protected:
  WorkerTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    g_calls = g_throwOnCall = 0;
    g_hold = false;
    engine.monitors = &FlakyMonitors;
    art.SetImage("a.jpg", PatternBytes(3000));
    art.SetCatalog(1, {"a.jpg"});
    engine.feeds.Add(COrvellaFeed(1, 10, L""));
  }
  ~WorkerTest() override { worker.reset(); }

  void Start(ThreadTiming timing) { worker = COrvellaThread::Start(engine, timing); }
  /// Index of the first log line starting with `prefix` at or after `from`, or -1.
  int Find(const std::wstring& prefix, int from = 0) const {
    const auto logs = host.logs();
    for (int i = from; i < static_cast<int>(logs.size()); ++i) {
      if (logs[static_cast<std::size_t>(i)].starts_with(prefix)) return i;
    }
    return -1;
  }
  void WaitForLog(const std::wstring& prefix) {
    WaitUntil([&] { return host.CountLogs(prefix) > 0; });
  }

  ArtService art;
  std::unique_ptr<COrvellaThread> worker;
  // Idle wait and restart pause outlast the stop wait: a stop that did not wake the
  // worker shows as result 258.
  const ThreadTiming slowWake{minutes(10), milliseconds(20000), minutes(10)};
  const ThreadTiming quickRestart{minutes(10), milliseconds(20000), milliseconds(10)};
};

TEST_F(WorkerTest, StopWakesTheIdleWorkerWhichWritesAPendingList) {
  // The batch's list write fails, so the list is still pending when the worker idles.
  std::filesystem::create_directories(dir / "rvt_orv_files.lst" / "blocked");
  Start(slowWake);
  WaitForLog(L"Download complete");
  std::filesystem::remove_all(dir / "rvt_orv_files.lst");
  worker->Stop();
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_FALSE(worker->Running());
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.GetCount(), 1u);

  host.ClearLogs();  // a second stop logs again and finds the thread ended
  worker->Stop();
  EXPECT_EQ(host.logs(), (std::vector<std::wstring>{L"COrvellaThread Stopping thread",
                                                    L"COrvellaThread::Stop(), result: 0"}));
}

TEST_F(WorkerTest, ErrorsRestartTheLoopWithoutLosingOrDeletingDownloads) {
  // Both feeds fail at first, feed 1 asking for a minute's rest. Feed 0 then offers a.jpg;
  // while it is fetched the minute passes, so the pass before the batch's end asks feed 1
  // and the monitors again, which throws; then feed 1 offers c.jpg.
  engine.feeds.Add(COrvellaFeed(2, 10, L""));
  std::atomic<uint64_t> tick{1000};
  engine.tickCount = [&] { return tick.load(); };
  std::atomic<bool> fetched{false};
  art.server.SetHandler("/img/a.jpg", [&](const ReceivedRequest&) {
    tick = 1000 + 61000;
    fetched = true;
    return Reply(200, PatternBytes(3000), "image/jpeg");
  });
  std::atomic<int> wallAnswers{0};
  art.SetArtAnswer(1, [&] {
    return wallAnswers++ == 0 ? Reply(503, "busy") : Reply(200, art.Catalog(1, {"a.jpg"}));
  });
  art.SetImage("c.jpg", "c");
  art.SetArtAnswer(2, [&] {
    return fetched ? Reply(200, art.Catalog(2, {"c.jpg"}))
                   : Reply(503, "busy", "text/plain", {{"Retry-After", "60"}});
  });
  g_throwOnCall = 3;
  Start({milliseconds(20), milliseconds(20000), milliseconds(10)});
  WaitForLog(L"Download complete");
  tick = 1000 + 30000;  // feed 0 may be asked again, feed 1 not yet
  WaitUntil([&] { return host.CountLogs(L"DownloadImage(), ") >= 2; });
  WaitUntil([&] { return host.CountLogs(L"Download complete") >= 2; });
  worker->Stop();
  const int error = Find(L"CException (monitor list unavailable) in COrvellaThread::RunComms()");
  ASSERT_GT(error, Find(L"DownloadImage(), "));
  // The restarted loop reads the list written before it; feed 0 is not asked again
  // before its interval, and its a.jpg survives the batch that follows.
  EXPECT_GT(Find(L"ReadLocalFileList: file list loaded (1 entries)", error), error);
  EXPECT_TRUE(std::filesystem::exists(dir / "a.jpg"));
  EXPECT_TRUE(std::filesystem::exists(dir / "c.jpg"));
  EXPECT_EQ(art.ImageRequests("a.jpg"), 1);
  EXPECT_EQ(art.ArtRequests(1), 2);
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.GetCount(), 2u);
}

// A worker that starts anew asks a feed that failed under the last one at once.
TEST_F(WorkerTest, NewWorkerAsksAFailedFeedAtOnce) {
  art.SetArtAnswer(1, [] { return Reply(503, "busy"); });
  engine.tickCount = [] { return uint64_t{5000}; };  // no time passes
  for (int run = 1; run <= 2; ++run) {
    Start({milliseconds(20), milliseconds(20000), minutes(10)});
    WaitUntil([&] { return host.CountLogs(L"Download complete") >= 3 * run; });
    worker->Stop();
    EXPECT_EQ(art.ArtRequests(1), run);
  }
}

// The error of an answer of the wrong shape restarts the loop with the generic line; the
// feed then waits its turn like any failed one instead of being asked at each restart.
TEST_F(WorkerTest, JsonErrorsGetTheGenericLineAndTheFeedWaitsItsTurn) {
  std::atomic<uint64_t> tick{5000};
  engine.tickCount = [&] { return tick.load(); };
  std::atomic<int> answers{0};
  art.SetArtAnswer(1, [&] {
    return answers++ == 0 ? Reply(200, R"({"art":[{"name":"a","wall_url":["x"]}]})")
                          : Reply(200, art.Catalog(1, {"a.jpg"}));
  });
  Start({milliseconds(10), milliseconds(20000), milliseconds(10)});
  // The restarted loop's passes leave the feed alone until its 30 seconds have passed.
  WaitUntil([&] { return host.CountLogs(L"Refresh 0:") >= 3; });
  EXPECT_EQ(art.ArtRequests(1), 1);
  tick += 30000;
  WaitUntil([&] { return std::filesystem::exists(dir / "a.jpg"); });
  worker->Stop();
  EXPECT_EQ(host.CountLogs(L"Unknown Exception in COrvellaThread::RunComms()"), 1);
  EXPECT_EQ(host.CountLogs(L"ReadLocalFileList:"), 2);
  EXPECT_EQ(art.ArtRequests(1), 2);
  EXPECT_EQ(dir.Read("a.jpg"), PatternBytes(3000));  // the later good answer was served
}

TEST_F(WorkerTest, StopDuringTheRestartPauseEndsWithoutAnotherPass) {
  g_throwOnCall = 1;
  Start(slowWake);
  WaitForLog(L"CException");
  worker->Stop();
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(host.CountLogs(L"ReadLocalFileList:"), 2);  // read again, then the loop ends
  EXPECT_EQ(host.CountLogs(L"Refresh 0:"), 1);
}

TEST_F(WorkerTest, StopThatTimesOutLeavesTheWorkerAliveUntilItEnds) {
  g_hold = true;
  Start({minutes(10), milliseconds(50), minutes(10)});
  WaitUntil([&] { return g_calls.load() == 1; });
  worker->Stop();
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 258"));
  EXPECT_TRUE(worker->Running());
  g_hold = false;  // the work ends now
  worker.reset();  // waits for the worker, which ends at its next check
  const std::size_t lines = host.logs().size();
  EXPECT_EQ(host.logs().back(), L"Download complete");
  EXPECT_EQ(art.ArtRequests(1), 0);  // the stop flag was set before the query began
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(host.logs().size(), lines);
}

}  // namespace
}  // namespace orvella::test
