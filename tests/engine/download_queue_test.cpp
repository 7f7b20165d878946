// DownloadNext and RemoveUnusedFiles: one item per call, the end of a batch, the files
// it deletes and keeps, and the temporary and companion names.
#include <chrono>
#include <thread>

#include "tests/engine/art_server_fixture.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::hours;

class DownloadQueueTest : public EngineTest {
 protected:
  DownloadQueueTest() {
    COrvellaFeed feed;
    feed.lastTm = 1;  // answered once: its batch may remove unused files
    engine.feeds.Add(feed);
  }
  void Queue(const std::wstring& url) { engine.queue.push_back({L"n", L"f", url}); }
  void Record(const std::wstring& url, const std::wstring& name) {
    engine.files[url] = CFileData{name, url, L"", 0};
  }
  /// Runs DownloadNext until it reports an empty queue; returns the number of items.
  int Drain() {
    int taken = 0;
    while (engine.DownloadNext(&stop) == 1) ++taken;
    return taken;
  }
  void SetWritten(const std::string& name, std::chrono::system_clock::duration age) {
    std::filesystem::last_write_time(
        dir / name, std::chrono::file_clock::from_sys(std::chrono::system_clock::now() - age));
  }
  ArtServer server;
  std::atomic<int32_t> stop{0};
};

TEST_F(DownloadQueueTest, BatchDownloadsNewItemsAndCleansUpAtItsEnd) {
  server.SetImage("new.jpg", PatternBytes(20000));
  Record(L"u1", L"one.jpg");
  Record(L"u2", L"two.jpg");
  Record(L"stale", L"old.jpg");
  dir.Write("one.jpg", "1");
  dir.Write("old.jpg", "old");
  dir.Write("old.rprop", "props");
  dir.Write("foreign.jpg", "not ours");
  Queue(L"u1");
  Queue(server.ImageUrl("new.jpg"));
  Queue(L"u2");

  for (int i = 0; i < 3; ++i) EXPECT_EQ(engine.DownloadNext(&stop), 1);
  EXPECT_EQ(engine.files[L"u1"].inUse, 1);
  EXPECT_EQ(engine.files[L"u2"].inUse, 1);  // not checked on disk
  EXPECT_EQ(engine.files[server.ImageUrl("new.jpg")].localName, L"new.jpg");
  EXPECT_EQ(engine.modified, 1);
  EXPECT_EQ(host.notifications(), 0);

  EXPECT_EQ(engine.DownloadNext(&stop), 0);
  EXPECT_EQ(host.notifications(), 1);
  EXPECT_TRUE(host.Logged(L"Download complete"));
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(engine.downloading, 0);
  EXPECT_EQ(dir.Read("new.jpg"), PatternBytes(20000));
  EXPECT_FALSE(Exists("old.jpg"));
  EXPECT_FALSE(Exists("old.rprop"));
  EXPECT_EQ(engine.files.count(L"stale"), 0u);
  EXPECT_EQ(dir.Read("foreign.jpg"), "not ours");
  EXPECT_EQ(CountFiles(".__t"), 0);

  engine.ReadLocalFileList();  // the list holds the three remaining files
  EXPECT_EQ(engine.files.size(), 3u);
}

TEST_F(DownloadQueueTest, BatchOfPresentItemsWritesNothingAndTellsNobody) {
  Record(L"u1", L"one.jpg");
  Record(L"gone", L"gone.jpg");  // its file is already missing
  Queue(L"u1");
  Queue(L"u1");  // two feeds offering the same URL
  Queue(L"");    // an empty URL is dropped
  EXPECT_EQ(Drain(), 3);
  EXPECT_EQ(engine.files.size(), 1u);
  EXPECT_FALSE(Exists("rvt_orv_files.lst"));
  EXPECT_EQ(host.notifications(), 0);

  // Idle: every call finds the queue empty and says so; nothing is removed.
  Record(L"later", L"later.jpg");
  EXPECT_EQ(Drain(), 0);
  EXPECT_EQ(engine.files.count(L"later"), 1u);
  EXPECT_EQ(host.CountLogs(L"Download complete"), 2);
}

TEST_F(DownloadQueueTest, FailedItemsAreDroppedWithoutARecord) {
  server.SetFault("bad.jpg", ImageFault::kNotFound);
  dir.Write("taken.jpg", "user's");
  Queue(server.ImageUrl("bad.jpg"));
  Queue(server.ImageUrl("taken.jpg"));
  Queue(L"::not a url::");
  EXPECT_EQ(Drain(), 3);
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(host.notifications(), 0);
  EXPECT_EQ(server.ImageRequests("taken.jpg"), 0);
  EXPECT_EQ(dir.Read("taken.jpg"), "user's");
  EXPECT_EQ(CountFiles(".__t"), 0);
}

TEST_F(DownloadQueueTest, StopDuringADownloadDropsTheItemAndItsTemporaryFile) {
  server.SetImage("slow.jpg", PatternBytes(1 << 20));
  server.SetFault("slow.jpg", ImageFault::kStall);
  Queue(server.ImageUrl("slow.jpg"));
  std::thread stopper([&] {
    server.WaitForStall();
    stop.store(1);
  });
  EXPECT_EQ(engine.DownloadNext(&stop), 1);
  stopper.join();
  EXPECT_TRUE(engine.queue.empty());
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(CountFiles(""), 0);
}

TEST_F(DownloadQueueTest, FailedRenameIsAFailure) {
  server.SetImage("x.jpg", PatternBytes(5000));
  server.OnImageRequest([this](const std::string&) {
    // Something takes the final name while the download runs.
    std::filesystem::create_directories(dir / "x.jpg" / "inside");
  });
  Queue(server.ImageUrl("x.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(host.notifications(), 0);
  EXPECT_FALSE(Exists("x.__t"));
  EXPECT_TRUE(host.Logged(L"DownloadNext(), can't rename " + InFolder("x.__t") + L" to " +
                          InFolder("x.jpg")));
}

TEST_F(DownloadQueueTest, TemporaryAndCompanionNamesStayInsideADottedFolder) {
  std::filesystem::create_directories(dir / "Pics.old");
  app.ImgFolder = InFolder("Pics.old");
  server.SetImage("b", "bee");
  Queue(server.ImageUrl("b"));
  Record(L"c-url", L"c");
  dir.Write("Pics.old/c", "c");
  dir.Write("Pics.old/c.rprop", "c props");
  dir.Write("Pics.rprop", "someone else's");
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), " + server.ImageUrl("b") + L" -> " +
                          InFolder("Pics.old/b.__t")));
  EXPECT_EQ(dir.Read("Pics.old/b"), "bee");
  EXPECT_FALSE(Exists("Pics.__t"));
  EXPECT_FALSE(Exists("Pics.old/c"));
  EXPECT_FALSE(Exists("Pics.old/c.rprop"));
  EXPECT_EQ(dir.Read("Pics.rprop"), "someone else's");
}

TEST_F(DownloadQueueTest, UnusedFilesWaitUntilEveryEnabledFeedHasAnswered) {
  COrvellaFeed unanswered;  // enabled, lastTm 0
  engine.feeds.Add(unanswered);
  COrvellaFeed disabled;
  disabled.Flg = 0;
  engine.feeds.Add(disabled);
  Record(L"stale", L"stale.jpg");
  dir.Write("stale.jpg", "s");
  Record(L"u1", L"one.jpg");
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(Exists("stale.jpg"));
  EXPECT_EQ(engine.files.count(L"stale"), 1u);

  engine.feeds[1].lastTm = 77;  // now it has answered; the disabled feed does not count
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_FALSE(Exists("stale.jpg"));
  EXPECT_EQ(engine.files.count(L"stale"), 0u);
}

TEST_F(DownloadQueueTest, ListThatCannotBeWrittenStaysMarked) {
  server.SetImage("n.jpg", "n");
  std::filesystem::create_directories(dir / "rvt_orv_files.lst" / "blocked");
  Queue(server.ImageUrl("n.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_EQ(engine.modified, 1);  // written again at the next batch or the worker's end
  EXPECT_EQ(host.notifications(), 1);
  EXPECT_TRUE(
      host.Logged(L"WriteLocalFileList: can't create file " + InFolder("rvt_orv_files.lst")));
  std::filesystem::remove_all(dir / "rvt_orv_files.lst");
  EXPECT_EQ(Drain(), 0);
  EXPECT_EQ(engine.modified, 0);
  EXPECT_TRUE(Exists("rvt_orv_files.lst"));
}

TEST_F(DownloadQueueTest, MinimumAgeRuleKeepsYoungAndFutureFiles) {
  for (const char* name : {"h23", "h25", "future", "past"}) {
    Record(Utf8ToWide(name), Utf8ToWide(name));
    dir.Write(name, name);
  }
  SetWritten("h23", hours(23));
  SetWritten("h25", hours(25));
  SetWritten("future", -hours(2));
  SetWritten("past", std::chrono::minutes(30));
  app.minAgeDays = 1;
  engine.RemoveUnusedFiles();
  EXPECT_TRUE(Exists("h23"));
  EXPECT_TRUE(Exists("past"));
  EXPECT_TRUE(Exists("future"));
  EXPECT_FALSE(Exists("h25"));
  EXPECT_EQ(engine.files.size(), 3u);

  app.minAgeDays = 0;  // the values every load sets: only files from the future stay
  engine.RemoveUnusedFiles();
  EXPECT_FALSE(Exists("h23"));
  EXPECT_FALSE(Exists("past"));
  EXPECT_TRUE(Exists("future"));

  app.minAgeCheck = 0;
  engine.RemoveUnusedFiles();
  EXPECT_FALSE(Exists("future"));
  EXPECT_TRUE(engine.files.empty());
}

}  // namespace
}  // namespace orvella::test
