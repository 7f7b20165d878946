// The worker thread: waking and stopping it, its exception guard and restart, and a stop
// that times out.
#include <json/json.h>
#include <stdlib.h>

#include <atomic>
#include <stdexcept>

#include "host/orvella_thread.h"
#include "tests/engine/art_server_fixture.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;

// Monitor sources that fail on chosen calls, counted across the worker's passes.
std::atomic<int> g_calls{0};
std::atomic<int> g_throwOnCall{0};
std::vector<DisplayRect> FlakyMonitors() {
  if (++g_calls == g_throwOnCall.load()) throw std::runtime_error("monitor list unavailable");
  return {{0, 0, 1280, 720}};
}

class WorkerTest : public EngineTest {
 protected:
  WorkerTest() {
    ::setenv("ORVELLA_SERVER_URL", server.Url().c_str(), 1);
    g_calls = 0;
    g_throwOnCall = 0;
    engine.monitors = &FlakyMonitors;
    server.SetImage("a.jpg", PatternBytes(3000));
    server.SetCatalog(1, {"a.jpg"});
    engine.feeds.Add(COrvellaFeed(1, 10, L""));
  }
  ~WorkerTest() override { engine.thread.reset(); }

  void Start(ThreadTiming timing) { engine.thread = COrvellaThread::Start(engine, timing); }
  /// Index of the first log line starting with `prefix` at or after `from`, or -1.
  int Find(const std::wstring& prefix, int from = 0) const {
    const auto logs = host.logs();
    for (int i = from; i < static_cast<int>(logs.size()); ++i) {
      if (logs[static_cast<std::size_t>(i)].starts_with(prefix)) return i;
    }
    return -1;
  }
  void WaitForLog(const std::wstring& prefix, int count = 1) {
    WaitUntil([&] { return host.CountLogs(prefix) >= count; });
  }

  ArtServer server;
  // The idle wait and restart pause are longer than the stop wait: a stop that did not
  // wake the worker shows as result 258.
  ThreadTiming slowWake{minutes(10), milliseconds(20000), minutes(10)};
};

TEST_F(WorkerTest, StopWakesTheIdleWorkerWhichWritesAPendingList) {
  // The batch's list write fails, so the list is still pending when the worker idles.
  std::filesystem::create_directories(dir / "rvt_orv_files.lst" / "blocked");
  Start(slowWake);
  WaitForLog(L"Download complete");
  EXPECT_EQ(host.notifications(), 1);
  std::filesystem::remove_all(dir / "rvt_orv_files.lst");

  engine.thread->Stop();
  EXPECT_TRUE(host.Logged(L"COrvellaThread Stopping thread"));
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_FALSE(engine.thread->Running());
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.size(), 1u);

  // A second stop logs again and finds the thread ended.
  host.ClearLogs();
  engine.thread->Stop();
  EXPECT_EQ(host.logs(), (std::vector<std::wstring>{L"COrvellaThread Stopping thread",
                                                    L"COrvellaThread::Stop(), result: 0"}));
  EXPECT_EQ(host.CountLogs(L"COrvellaThread::Start()"), 0);
}

TEST_F(WorkerTest, ErrorsRestartTheLoopAfterWritingWhatWasDownloaded) {
  // Feed 1 fails at first, so the next pass asks for the monitors again; that ask
  // throws, after a.jpg of feed 0 was downloaded. Then feed 1 offers c.jpg.
  COrvellaFeed clocks(2, 10, L"");
  engine.feeds.Add(clocks);
  server.SetImage("c.jpg", "c");
  std::atomic<int> clockAnswers{0};
  server.SetArtAnswer(2, [&] {
    if (clockAnswers++ == 0) return ArtAnswer{503, "busy"};
    return ArtAnswer{200, ArtJson({{"c", WideToUtf8(server.ImageUrl("c.jpg"))}}, "clock_url")};
  });
  g_throwOnCall = 2;
  Start({minutes(10), milliseconds(20000), milliseconds(10)});
  WaitForLog(L"Download complete");
  engine.thread->Stop();

  const int error = Find(L"CException (monitor list unavailable) in COrvellaThread::RunComms()");
  ASSERT_GE(error, 0);
  const int download = Find(L"DownloadImage(), ");
  ASSERT_GE(download, 0);
  EXPECT_LT(download, error);
  // The restarted loop finds the file it had downloaded in the list file.
  EXPECT_GT(Find(L"ReadLocalFileList: file list loaded (1 entries)", error), error);
  EXPECT_EQ(host.CountLogs(L"ReadLocalFileList: file list not found"), 1);
  // The batch after the restart kept a.jpg: feed 0 offered it before the error and is
  // not asked again before its interval.
  EXPECT_TRUE(std::filesystem::exists(dir / "a.jpg"));
  EXPECT_TRUE(std::filesystem::exists(dir / "c.jpg"));
  EXPECT_EQ(server.ImageRequests("a.jpg"), 1);
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.size(), 2u);
}

TEST_F(WorkerTest, JsonErrorsGetTheGenericLine) {
  std::atomic<int> answers{0};
  server.SetArtAnswer(1, [&] {
    if (++answers == 1) return ArtAnswer{200, R"({"art":[{"name":"a","wall_url":["x"]}]})"};
    return ArtAnswer{200, ArtJson({{"a", WideToUtf8(server.ImageUrl("a.jpg"))}}, "wall_url")};
  });
  Start({minutes(10), milliseconds(20000), milliseconds(10)});
  WaitForLog(L"Download complete");
  engine.thread->Stop();
  EXPECT_EQ(host.CountLogs(L"Unknown Exception in COrvellaThread::RunComms()"), 1);
  EXPECT_EQ(host.CountLogs(L"CException"), 0);
  EXPECT_EQ(host.CountLogs(L"ReadLocalFileList:"), 2);
  EXPECT_TRUE(std::filesystem::exists(dir / "a.jpg"));  // the later good answer was served
}

TEST_F(WorkerTest, StopDuringTheRestartPauseEndsWithoutAnotherPass) {
  g_throwOnCall = 1;
  Start(slowWake);
  WaitForLog(L"CException");
  engine.thread->Stop();
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(host.CountLogs(L"ReadLocalFileList:"), 2);  // read again, then the loop ends
  EXPECT_EQ(host.CountLogs(L"Refresh 0:"), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "rvt_orv_files.lst"));
}

TEST_F(WorkerTest, StopThatTimesOutLeavesTheWorkerAliveUntilItEnds) {
  std::atomic<bool> release{false};
  server.SetArtAnswer(1, [&] {
    while (!release) std::this_thread::sleep_for(milliseconds(2));
    return ArtAnswer{200, R"({"art":[]})"};
  });
  Start({minutes(10), milliseconds(50), minutes(10)});
  WaitUntil([&] { return server.ArtRequests(1) == 1; });
  engine.thread->Stop();  // the query does not look at the stop flag
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 258"));
  EXPECT_TRUE(engine.thread->Running());
  release = true;
  engine.thread.reset();  // waits for the worker, which ends at its next check
  const std::size_t lines = host.logs().size();
  EXPECT_EQ(host.logs().back(), L"Download complete");
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(host.logs().size(), lines);
}

}  // namespace
}  // namespace orvella::test
