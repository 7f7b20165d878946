// DownloadNext and RemoveUnusedFiles: one item per call, the end of a batch, the files
// it deletes and keeps, and the temporary and companion names.
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::hours;

class DownloadQueueTest : public EngineTest {
 protected:
  DownloadQueueTest() {
    COrvellaFeed answered;
    answered.lastTm = 1;  // its batches may remove unused files
    engine.feeds.Add(answered);
  }
  void Queue(const std::wstring& url) { engine.queue.push_back({L"n", L"f", url}); }
  void Record(const std::wstring& url, const std::wstring& name) {
    engine.files[url] = CFileData{name, url, L"", 0};
  }
  /// Runs DownloadNext until it reports an empty queue; returns the items it took.
  int Drain() {
    int taken = 0;
    while (engine.DownloadNext(&stop) == 1) ++taken;
    return taken;
  }
  ArtService art;
  std::atomic<int32_t> stop{0};
};

TEST_F(DownloadQueueTest, BatchDownloadsNewItemsAndCleansUpAtItsEnd) {
  art.SetImage("new.jpg", PatternBytes(20000));
  Record(L"u1", L"one.jpg");
  Record(L"u2", L"two.jpg");
  Record(L"stale", L"old.jpg");
  for (const char* name : {"one.jpg", "old.jpg", "old.rprop", "foreign.jpg"}) dir.Write(name, name);
  Queue(L"u1");
  Queue(art.ImageUrl("new.jpg"));
  Queue(L"u2");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(engine.DownloadNext(&stop), 1);
  EXPECT_EQ(engine.files[L"u2"].inUse, 1);  // marked, not checked on disk
  EXPECT_EQ(engine.modified, 1);
  EXPECT_EQ(host.notifications(), 0);

  EXPECT_EQ(engine.DownloadNext(&stop), 0);
  EXPECT_EQ(host.notifications(), 1);
  EXPECT_TRUE(host.Logged(L"Download complete"));
  EXPECT_EQ(engine.modified + engine.downloading, 0);
  EXPECT_EQ(dir.Read("new.jpg"), PatternBytes(20000));
  EXPECT_FALSE(Exists("old.jpg") || Exists("old.rprop") || engine.files.count(L"stale"));
  EXPECT_EQ(dir.Read("foreign.jpg"), "foreign.jpg");
  EXPECT_EQ(CountFiles(".__t"), 0);
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.size(), 3u);
}

TEST_F(DownloadQueueTest, BatchOfPresentItemsWritesNothingAndTellsNobody) {
  Record(L"u1", L"one.jpg");
  Record(L"gone", L"gone.jpg");  // its file is already missing: removed without a fuss
  Queue(L"u1");
  Queue(L"u1");  // two feeds offering the same URL
  EXPECT_EQ(Drain(), 2);
  EXPECT_EQ(engine.files.size(), 1u);
  EXPECT_FALSE(Exists("rvt_orv_files.lst"));
  EXPECT_EQ(host.notifications(), 0);
  Record(L"later", L"later.jpg");
  EXPECT_EQ(Drain(), 0);  // idle: nothing is removed, the line comes all the same
  EXPECT_EQ(engine.files.count(L"later"), 1u);
  EXPECT_EQ(host.CountLogs(L"Download complete"), 2);
}

TEST_F(DownloadQueueTest, FailedAndStoppedItemsAreDroppedWithoutARecord) {
  dir.Write("taken.jpg", "user's");
  Reply stalled(200, PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  art.SetImage("slow.jpg", stalled);
  for (const std::wstring& url : {art.ImageUrl("missing.jpg"), art.ImageUrl("taken.jpg"),
                                  std::wstring(L"::not a url::"), art.ImageUrl("slow.jpg")}) {
    Queue(url);
  }
  std::thread stopper([&] {
    WaitUntil([&] { return art.ImageRequests("slow.jpg") == 1; });
    stop.store(1);
  });
  for (int i = 0; i < 4; ++i) EXPECT_EQ(engine.DownloadNext(&stop), 1);
  stopper.join();
  EXPECT_TRUE(engine.queue.empty());
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(art.ImageRequests("taken.jpg"), 0);
  EXPECT_EQ(dir.Read("taken.jpg"), "user's");
  EXPECT_EQ(CountFiles(""), 1);
}

TEST_F(DownloadQueueTest, FailedRenameIsAFailure) {
  art.server.SetHandler("/img/x.jpg", [this](const ReceivedRequest&) {
    std::filesystem::create_directories(dir / "x.jpg" / "inside");  // the name gets taken
    return Reply(200, "x", "image/jpeg");
  });
  Queue(art.ImageUrl("x.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(host.notifications(), 0);
  EXPECT_FALSE(Exists("x.__t"));
  EXPECT_TRUE(host.Logged(L"DownloadNext(), can't rename " + InFolder("x.__t") + L" to " +
                          InFolder("x.jpg")));
}

TEST_F(DownloadQueueTest, TemporaryAndCompanionNamesStayInsideADottedFolder) {
  std::filesystem::create_directories(dir / "Pics.old");
  owner.ImgFolder = InFolder("Pics.old");
  art.SetImage("b", "bee");
  Queue(art.ImageUrl("b"));
  Record(L"c-url", L"c");
  for (const char* name : {"Pics.old/c", "Pics.old/c.rprop", "Pics.rprop"}) dir.Write(name, name);
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(
      host.Logged(L"DownloadImage(), " + art.ImageUrl("b") + L" -> " + InFolder("Pics.old/b.__t")));
  EXPECT_EQ(dir.Read("Pics.old/b"), "bee");
  EXPECT_FALSE(Exists("Pics.__t") || Exists("Pics.old/c") || Exists("Pics.old/c.rprop"));
  EXPECT_EQ(dir.Read("Pics.rprop"), "Pics.rprop");
}

TEST_F(DownloadQueueTest, UnusedFilesWaitUntilEveryEnabledFeedHasAnswered) {
  engine.feeds.Add(COrvellaFeed());  // enabled, not answered yet
  COrvellaFeed disabled;
  disabled.Flg = 0;
  engine.feeds.Add(disabled);
  Record(L"stale", L"stale.jpg");
  dir.Write("stale.jpg", "s");
  Record(L"u1", L"one.jpg");
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(Exists("stale.jpg"));
  engine.feeds[1].lastTm = 77;  // it has answered; the disabled feed does not count
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_FALSE(Exists("stale.jpg"));
}

TEST_F(DownloadQueueTest, ListThatCannotBeWrittenStaysMarked) {
  art.SetImage("n.jpg", "n");
  std::filesystem::create_directories(dir / "rvt_orv_files.lst" / "blocked");
  Queue(art.ImageUrl("n.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_EQ(engine.modified, 1);  // written again at the next batch or the worker's end
  EXPECT_EQ(host.notifications(), 1);
  std::filesystem::remove_all(dir / "rvt_orv_files.lst");
  EXPECT_EQ(Drain(), 0);
  EXPECT_EQ(engine.modified, 0);
  EXPECT_TRUE(Exists("rvt_orv_files.lst"));
}

TEST_F(DownloadQueueTest, MinimumAgeRuleKeepsYoungAndFutureFiles) {
  const std::pair<const char*, std::chrono::system_clock::duration> files[] = {
      {"h23", hours(23)},
      {"h25", hours(25)},
      {"future", -hours(2)},
      {"m30", std::chrono::minutes(30)}};
  for (const auto& [name, age] : files) {
    Record(Utf8ToWide(name), Utf8ToWide(name));
    dir.Write(name, name);
    std::filesystem::last_write_time(
        dir / name, std::chrono::file_clock::from_sys(std::chrono::system_clock::now() - age));
  }
  owner.minAgeDays = 1;
  engine.RemoveUnusedFiles();
  EXPECT_TRUE(Exists("h23") && Exists("m30") && Exists("future"));
  EXPECT_FALSE(Exists("h25"));
  owner.minAgeDays = 0;  // the values every load sets: only files from the future stay
  engine.RemoveUnusedFiles();
  EXPECT_FALSE(Exists("h23") || Exists("m30"));
  EXPECT_TRUE(Exists("future"));
  owner.minAgeCheck = 0;
  engine.RemoveUnusedFiles();
  EXPECT_TRUE(engine.files.empty());
}

}  // namespace
}  // namespace orvella::test
