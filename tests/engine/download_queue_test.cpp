// DownloadNext and RemoveUnusedFiles: one item per call, the end of a batch, the files
// it deletes and keeps, the temporary and companion names, and what a hostile answer, a
// planted file or a second worker on the folder can make of them.
#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::hours;

class DownloadQueueTest : public EngineTest {
 protected:
  DownloadQueueTest() {
    COrvellaFeed answered;
    answered.lastTm = 1;  // its batches may remove unused files
    engine.feeds.Add(answered);
    engine.ReadLocalFileList();  // the worker's start: the folder is this engine's now
  }
  void Queue(const std::wstring& url) { engine.queue.push_back({L"n", L"f", url}); }
  void Record(const std::wstring& url, const std::wstring& name) {
    engine.files.Set(CFileData{name, url, L"", 0});
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
  art.SetImage("two.jpg", "two again");
  Record(L"u1", L"one.jpg");
  Record(art.ImageUrl("two.jpg"), L"two.jpg");  // its file is gone: fetched again
  Record(L"stale", L"old.jpg");
  for (const char* name : {"one.jpg", "old.jpg", "old.rprop", "foreign.jpg"}) dir.Write(name, name);
  Queue(L"u1");
  Queue(art.ImageUrl("new.jpg"));
  Queue(art.ImageUrl("two.jpg"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(engine.DownloadNext(&stop), 1);
  // The downloads wait for their group's commit: announced in the journal, in their work
  // files, not yet under their names nor recorded.
  bool cut = false;
  std::vector<JournalEntry> begun = DecodeJournal(dir.Read("rvt_orv_files.lst.jnl"), cut);
  ASSERT_GE(begun.size(), 2u);
  EXPECT_EQ(begun[0].kind, JournalKind::kStarted);
  EXPECT_EQ(begun[1].kind, JournalKind::kStarted);  // both announced at once
  EXPECT_EQ(begun[1].work, L"two.__t");
  EXPECT_TRUE(Exists("new.__t") && Exists("two.__t"));
  EXPECT_FALSE(Exists("new.jpg") || Exists("two.jpg"));
  EXPECT_EQ(engine.files.Find(art.ImageUrl("two.jpg")), nullptr);
  EXPECT_EQ(engine.files.Find(L"u1")->inUse, 1);
  EXPECT_EQ(engine.modified, 1);
  EXPECT_EQ(host.notifications(), 0);
  // A journal deleted while the batch runs is made again by its next entry: those must
  // not go to the deleted file (where deleting an open file is refused, it stays whole).
  std::error_code ec;
  std::filesystem::remove(dir / "rvt_orv_files.lst.jnl", ec);
  engine.CommitDownloads();
  const std::vector<JournalEntry> journal = DecodeJournal(dir.Read("rvt_orv_files.lst.jnl"), cut);
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal.back().kind, JournalKind::kStored);
  EXPECT_EQ(journal.back().name, L"two.jpg");
  EXPECT_EQ(journal.back().size, 9u);
  EXPECT_EQ(engine.files.Find(art.ImageUrl("two.jpg"))->inUse, 1);
  EXPECT_EQ(dir.Read("two.jpg"), "two again");

  EXPECT_EQ(engine.DownloadNext(&stop), 0);
  EXPECT_EQ(host.notifications(), 1);
  EXPECT_TRUE(host.Logged(L"Download complete"));
  EXPECT_EQ(engine.modified + engine.downloading, 0);
  EXPECT_EQ(dir.Read("new.jpg"), PatternBytes(20000));
  EXPECT_FALSE(Exists("old.jpg") || Exists("old.rprop") || engine.files.Find(L"stale") != nullptr);
  EXPECT_EQ(dir.Read("foreign.jpg"), "foreign.jpg");
  EXPECT_EQ(CountFiles(".__t"), 0);
  EXPECT_FALSE(Exists("rvt_orv_files.lst.jnl"));  // the list holds everything now
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.GetCount(), 3u);
}

TEST_F(DownloadQueueTest, BatchOfPresentItemsWritesNothingAndTellsNobody) {
  Record(L"u1", L"one.jpg");
  dir.Write("one.jpg", "1");
  Queue(L"u1");
  Queue(L"u1");  // two feeds offering the same URL
  EXPECT_EQ(Drain(), 2);
  EXPECT_FALSE(Exists("rvt_orv_files.lst"));
  EXPECT_EQ(host.notifications(), 0);
  // A batch that only deletes writes the list (the record of a deleted file must not
  // outlive it), and still tells the host nothing.
  Record(L"gone", L"gone.jpg");  // its file is already missing: removed without a fuss
  Record(L"old", L"old.jpg");
  dir.Write("old.jpg", "o");
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_EQ(engine.files.GetCount(), 1u);
  EXPECT_FALSE(Exists("old.jpg"));
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"),
            "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\nu1\r\none.jpg\r\n");
  EXPECT_EQ(host.notifications(), 0);
  Record(L"later", L"later.jpg");
  EXPECT_EQ(Drain(), 0);  // idle: nothing is removed, the line comes all the same
  EXPECT_NE(engine.files.Find(L"later"), nullptr);
  EXPECT_EQ(host.CountLogs(L"Download complete"), 3);
}

TEST_F(DownloadQueueTest, FailedAndStoppedItemsAreDroppedWithoutARecord) {
  dir.Write("taken.jpg", "user's");
  Reply stalled(200, PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  art.SetImage("slow.jpg", stalled);
  // A scheme the download refuses ends it after the name was proved by a file of its own.
  for (const std::wstring& url :
       {art.ImageUrl("missing.jpg"), art.ImageUrl("taken.jpg"), std::wstring(L"::not a url::"),
        std::wstring(L"ftp://h/f.jpg"), art.ImageUrl("slow.jpg")}) {
    Queue(url);
  }
  std::thread stopper([&] {
    WaitUntil([&] { return art.ImageRequests("slow.jpg") == 1; });
    stop.store(1);
  });
  for (int i = 0; i < 5; ++i) EXPECT_EQ(engine.DownloadNext(&stop), 1);
  stopper.join();
  EXPECT_TRUE(engine.queue.empty());
  EXPECT_TRUE(engine.files.IsEmpty());
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(art.ImageRequests("taken.jpg"), 0);
  EXPECT_EQ(dir.Read("taken.jpg"), "user's");
  EXPECT_EQ(engine.DownloadNext(&stop), 0);
  engine.ReleaseFolder();  // journal and lock go: nothing of ours is left
  EXPECT_EQ(CountFiles(""), 1);
}

TEST_F(DownloadQueueTest, FailedRenameIsAFailure) {
  art.server.SetHandler("/img/x.jpg", [this](const ReceivedRequest&) {
    std::filesystem::create_directories(dir / "x.jpg" / "inside");  // the name gets taken
    return Reply(200, "x", "image/jpeg");
  });
  Queue(art.ImageUrl("x.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(engine.files.IsEmpty());
  EXPECT_EQ(host.notifications(), 0);
  EXPECT_FALSE(Exists("x.__t"));
  EXPECT_TRUE(host.Logged(L"DownloadNext(), can't rename " + InFolder("x.__t") + L" to " +
                          InFolder("x.jpg")));
}

TEST_F(DownloadQueueTest, TemporaryAndCompanionNamesStayInsideADottedFolder) {
  std::filesystem::create_directories(dir / "Pics.old");
  owner.ImgFolder = InFolder("Pics.old");
  engine.ReadLocalFileList();
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
  dir.Write("one.jpg", "1");
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(Exists("stale.jpg"));
  engine.feeds[1].lastTm = 77;  // it has answered; the disabled feed does not count
  Queue(L"u1");
  EXPECT_EQ(Drain(), 1);
  EXPECT_FALSE(Exists("stale.jpg"));
}

TEST_F(DownloadQueueTest, ListThatCannotBeWrittenIsRetriedAtTheNextBatchEndOnly) {
  art.SetImage("n.jpg", "n");
  std::filesystem::create_directories(dir / "rvt_orv_files.lst" / "blocked");
  Queue(art.ImageUrl("n.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_EQ(engine.modified, 1);  // written again at the next batch or the worker's end
  EXPECT_EQ(host.notifications(), 1);
  EXPECT_TRUE(Exists("rvt_orv_files.lst.jnl"));  // the record survives a crash meanwhile
  // Idle passes neither write nor tell the host again.
  EXPECT_EQ(Drain(), 0);
  EXPECT_EQ(Drain(), 0);
  EXPECT_EQ(host.CountLogs(L"WriteLocalFileList: can't create file"), 1);
  EXPECT_EQ(host.notifications(), 1);
  std::filesystem::remove_all(dir / "rvt_orv_files.lst");
  Record(L"u1", L"one.jpg");
  dir.Write("one.jpg", "1");
  Queue(L"u1");  // a batch that stores nothing
  EXPECT_EQ(Drain(), 1);
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(host.notifications(), 1);
  EXPECT_FALSE(Exists("rvt_orv_files.lst.jnl"));
  engine.ReadLocalFileList();
  EXPECT_EQ(engine.files.GetCount(), 2u);
}

TEST_F(DownloadQueueTest, UrlsThatCouldForgeListLinesAreNeitherFetchedNorRecorded) {
  art.SetImage("a.jpg", "a");
  const std::wstring base = art.ImageUrl("a.jpg") + L"?";
  const std::wstring longest = base + std::wstring(8190 - base.size(), L'p');
  const std::wstring refused[] = {base + L"q\r\nuserphoto.jpg\r\nx",
                                  base + L"\t",
                                  base + L"\x7f",
                                  base + L"\u0080",
                                  base + L"\u009f",
                                  longest + L"p"};
  for (const std::wstring& url : refused) Queue(url);
  EXPECT_EQ(Drain(), 6);
  EXPECT_EQ(art.ImageRequests("a.jpg"), 0);
  EXPECT_EQ(host.CountLogs(L"DownloadNext(), URL can't be recorded ("), 6);
  EXPECT_TRUE(host.Logged(L"DownloadNext(), URL can't be recorded (" +
                          std::to_wstring(base.size() + 19) + L" characters): " + base +
                          L"q??userphoto.jpg??x"));
  EXPECT_TRUE(engine.files.IsEmpty());
  // Just inside the limits: an 8190-character URL, and the first character after C1.
  Queue(longest);
  Queue(base + L"\u00a0");
  EXPECT_EQ(Drain(), 2);
  EXPECT_EQ(art.ImageRequests("a.jpg"), 1);  // the second finds a.jpg taken
  engine.ReadLocalFileList();
  ASSERT_EQ(engine.files.GetCount(), 1u);
  EXPECT_EQ(engine.files.begin()->url, longest);
}

// A link the platform cannot show as one (Wine's Unix links) is replaced, never written
// through; everything else at a work name that is not a regular file stays, and the item
// fails.
// A file at a work name that is not the plug-in's own is never written through, replaced
// or removed: its item fails. One that a recorded picture holds is gone around.
TEST_F(DownloadQueueTest, WorkFilesNeverWriteThroughWhatStandsAtTheirNames) {
  TempDir outside;
  outside.Write("precious.txt", "keep me");
  for (const char* name : {"user", "link", "pipe", "folder", "rec"})
    art.SetImage(std::string(name) + ".jpg", name);
  art.SetImage("x.__t", "x");
  dir.Write("user.__t", "the user's own file");
  const Planted link = PlantLink(dir / "link.__t", outside / "precious.txt");
  const bool piped = PlantPipe(dir / "pipe.__t");
  std::filesystem::create_directories(dir / "folder.__t");
  dir.Write("rvt_orv_files.lst",
            "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\nrec-url\r\nrec.__t\r\n");
  dir.Write("rec.__t", "recorded");  // a picture of ours that has a work name
  engine.ReadLocalFileList();
  for (const char* name : {"user.jpg", "link.jpg", "pipe.jpg", "folder.jpg", "x.__t", "rec.jpg"})
    Queue(art.ImageUrl(name));
  Queue(L"rec-url");
  EXPECT_EQ(Drain(), 7);
  EXPECT_EQ(dir.Read("user.__t"), "the user's own file");
  EXPECT_EQ(dir.Read("x.__t"), "x");  // stored under its own name
  EXPECT_EQ(dir.Read("rec.jpg"), "rec");
  EXPECT_EQ(dir.Read("rec.__t"), "recorded");
  EXPECT_EQ(outside.Read("precious.txt"), "keep me");
  for (const char* work : {"user.__t", "folder.__t"}) {
    EXPECT_TRUE(host.Logged(
        L"DownloadNext(), work file name is taken by a file that is not the plug-in's: " +
        InFolder(work)))
        << work;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.__t"));
  EXPECT_EQ(std::filesystem::is_symlink(dir / "link.__t"), link == Planted::kLink);
  EXPECT_EQ(std::filesystem::is_fifo(dir / "pipe.__t"), piped);
  EXPECT_EQ(Exists("link.jpg"), link != Planted::kLink);
  EXPECT_EQ(Exists("pipe.jpg"), !piped);
  EXPECT_FALSE(Exists("folder.jpg") || Exists("user.jpg"));
  EXPECT_EQ(art.ImageRequests("folder.jpg") + art.ImageRequests("user.jpg"), 0);
  EXPECT_EQ(CountFiles("~1.__t"), 0);  // the other work name is gone once stored
  engine.ReadLocalFileList();
  // x.__t, rec.jpg, the record of rec.__t, and what the platform let through
  EXPECT_EQ(engine.files.GetCount(), 3u + (link != Planted::kLink) + !piped);
}

TEST_F(DownloadQueueTest, SecondWorkerOnTheFolderWaitsAndThenSeesTheFirstOnesFiles) {
  art.SetImage("a.jpg", "a");
  COrvellaEngine second{owner};
  second.feeds.Add(engine.feeds[0]);
  second.ReadLocalFileList();
  second.queue.push_back({L"n", L"f", art.ImageUrl("a.jpg")});
  EXPECT_EQ(second.DownloadNext(&stop), 0);  // the first engine holds the folder
  EXPECT_EQ(second.queue.size(), 1u);
  EXPECT_TRUE(
      host.Logged(L"DownloadNext(), image folder in use by another worker, tried again "
                  L"later: " +
                  owner.ImgFolder));
  Queue(art.ImageUrl("a.jpg"));
  EXPECT_EQ(Drain(), 1);
  engine.ReleaseFolder();
  EXPECT_FALSE(Exists("rvt_orv_files.lst.lock"));
  EXPECT_EQ(second.DownloadNext(&stop), 1);  // takes it, reads the list: a.jpg is there
  EXPECT_EQ(second.DownloadNext(&stop), 0);
  EXPECT_EQ(art.ImageRequests("a.jpg"), 1);
  EXPECT_EQ(host.CountLogs(L"DownloadNext(), can't rename"), 0);
  EXPECT_EQ(second.files.Find(art.ImageUrl("a.jpg"))->inUse, 1);
  EXPECT_EQ(engine.DownloadNext(&stop), 0);  // idle: needs no folder
  Queue(art.ImageUrl("a.jpg"));
  EXPECT_EQ(engine.DownloadNext(&stop), 0);  // now the second one holds it
}

// A move of the folder setting while the worker runs: the records belong to the folder
// they came from, and never delete the namesakes in the new one.
TEST_F(DownloadQueueTest, RecordsStayWithTheirFolderWhenTheSettingMoves) {
  std::filesystem::create_directories(dir / "new");
  dir.Write("new/one.jpg", "the user's own");
  dir.Write("one.jpg", "1");
  art.SetImage("b.jpg", "b");
  Record(L"u1", L"one.jpg");
  engine.modified = 1;  // not yet in the old folder's list
  owner.ImgFolder = InFolder("new");
  Queue(art.ImageUrl("b.jpg"));
  EXPECT_EQ(Drain(), 1);
  EXPECT_EQ(dir.Read("new/one.jpg"), "the user's own");
  EXPECT_EQ(dir.Read("new/b.jpg"), "b");
  EXPECT_EQ(engine.files.Find(L"u1"), nullptr);
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"),
            "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\nu1\r\none.jpg\r\n");
  EXPECT_FALSE(Exists("rvt_orv_files.lst.lock"));  // the old folder is let go
  EXPECT_TRUE(Exists("new/rvt_orv_files.lst.lock"));
}

TEST_F(DownloadQueueTest, EmptyOrRelativeFolderStoresNothingAnywhere) {
  TempDir current;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(current.path());
  art.SetImage("a.jpg", "a");
  int passes = 0;
  for (const wchar_t* folder : {L"", L"pics"}) {
    owner.ImgFolder = folder;
    engine.ReadLocalFileList();
    Queue(art.ImageUrl("a.jpg"));
    EXPECT_EQ(engine.DownloadNext(&stop), 0);  // one pass: one line, the queue dropped
    EXPECT_EQ(engine.DownloadNext(&stop), 0);
    passes += 2;
    EXPECT_TRUE(engine.queue.empty());
    EXPECT_EQ(engine.WriteLocalFileList(), false);
  }
  std::filesystem::current_path(old);
  EXPECT_EQ(host.CountLogs(L"DownloadNext(), no usable image folder"), passes);
  EXPECT_TRUE(
      host.Logged(L"DownloadNext(), no usable image folder (empty or not absolute): "
                  L"\"pics\""));
  EXPECT_EQ(art.ImageRequests("a.jpg"), 0);
  EXPECT_TRUE(std::filesystem::is_empty(current.path()));
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
  EXPECT_TRUE(engine.files.IsEmpty());
}

}  // namespace
}  // namespace orvella::test
