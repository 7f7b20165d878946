// orvella-host's sync command: one pass of the real module against a local service.
#include "tools/orvella-host/host_sync.h"

#include <stdlib.h>

#include <cstring>

#include "engine/content_digest.h"
#include "engine/list_journal.h"
#include "engine/local_names.h"
#include "system/safe_files.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/module_host.h"
#include "tests/support/two_feed_profile.h"
#include "tools/orvella-host/disk_full.h"

namespace orvella::test {
namespace {

class HostSyncTest : public ::testing::Test {
 protected:
  HostSyncTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    options.modulePath = ModulePath();
    options.profilePath = (config.path() / "profile.ini").string();
    options.verbosity = 0;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) art.SetImage(name, name);
    art.SetCatalog(1, {"a.jpg", "b.jpg", "gone.jpg"});
    art.SetCatalog(2, {"c.jpg"});
    WriteTwoFeedProfile(options.profilePath, folder.path());
  }
  int Sync() {
    host::HostSession session(options);
    if (!session.Open()) return -1;
    ::testing::internal::CaptureStdout();
    const int status = host::CommandSync(session);
    output = ::testing::internal::GetCapturedStdout();
    return status;
  }

  ScopedConfigHome config;
  TempDir folder;
  ArtService art;
  host::HostOptions options;
  std::string output;
};

// The summary counts what the list file and the folder hold before and after a pass.
TEST_F(HostSyncTest, SummaryCountsTheFolderOnEveryPass) {
  EXPECT_EQ(Sync(), 1);  // gone.jpg is offered but cannot be fetched
  EXPECT_EQ(folder.Read("c.jpg"), "c.jpg");
  EXPECT_EQ(output, "sync: 0 present, 3 new, 1 failed, 0 removed\n");
  art.SetCatalog(1, {"a.jpg", "b.jpg"});
  EXPECT_EQ(Sync(), 0);  // everything is present now
  EXPECT_EQ(output, "sync: 3 present, 0 new, 0 failed, 0 removed\n");
  art.SetImage("d.jpg", "d.jpg");
  art.SetCatalog(1, {"a.jpg", "d.jpg"});
  EXPECT_EQ(Sync(), 0);
  EXPECT_EQ(output, "sync: 2 present, 1 new, 0 failed, 1 removed\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "b.jpg"));
  host::HostSession check(options);  // enabled for the passes only
  ASSERT_TRUE(check.Open());
  EXPECT_EQ(check.Send(40, 0, 0), 1);
}

// The count starts from the record the plug-in loads: a journal that a crash left is
// applied, and a list name that is not a regular file is never read.
TEST_F(HostSyncTest, CountsStartFromTheRecordThePlugInLoads) {
  art.SetCatalog(1, {"a.jpg", "b.jpg"});
  EXPECT_EQ(Sync(), 0);
  // A run killed after d.jpg took its name, before its list was written.
  art.SetImage("d.jpg", "d.jpg");
  folder.Write("d.jpg", "d.jpg");
  std::string journal;
  ASSERT_TRUE(
      EncodeJournalEntry({JournalKind::kStarted, art.ImageUrl("d.jpg"), L"d.jpg"}, journal));
  JournalEntry stored(JournalKind::kStored, art.ImageUrl("d.jpg"), L"d.jpg");
  stored.size = 5;
  stored.digest = ContentDigest::Of("d.jpg", 5);
  ASSERT_TRUE(EncodeJournalEntry(stored, journal));
  folder.Write(WideToUtf8(kJournalFileName), journal);
  art.SetCatalog(1, {"a.jpg", "d.jpg"});
  EXPECT_EQ(Sync(), 0);
  EXPECT_EQ(output, "sync: 3 present, 0 new, 0 failed, 1 removed\n");

  const std::filesystem::path list = folder / WideToUtf8(kListFileName);
  const auto restart = [&] {
    for (const char* name : {"a.jpg", "c.jpg", "d.jpg"}) std::filesystem::remove(folder / name);
    std::filesystem::remove(list);
  };
  // A pipe would hold the read for ever: the plug-in starts without a list and puts its
  // own in its place.
  restart();
  if (PlantPipe(list)) {
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(output, "sync: 0 present, 3 new, 0 failed, 0 removed\n");
    EXPECT_EQ(KindOf(list), EntryKind::kRegular);
    restart();
  }
  // A link could show any list: the plug-in reads none through it, nor does the count.
  TempDir elsewhere;
  folder.Write("user.jpg", "the user's");
  const std::filesystem::path other = elsewhere.Write(
      "list", "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\nhttp://h/user.jpg\r\nuser.jpg\r\n");
  if (PlantLink(list, other) == Planted::kLink) {
    EXPECT_EQ(Sync(), 0);
    EXPECT_EQ(output, "sync: 0 present, 3 new, 0 failed, 0 removed\n");
    EXPECT_EQ(folder.Read("user.jpg"), "the user's");
  }
}

// An image offered twice, in one answer or by two feeds, is one image: it is stored once
// and counted once, and a missing one offered twice is one failure.
TEST_F(HostSyncTest, EachOfferedUrlIsCountedOnce) {
  art.SetCatalog(1, {"a.jpg", "b.jpg", "a.jpg"});
  art.SetCatalog(2, {"c.jpg", "a.jpg"});
  EXPECT_EQ(Sync(), 0);
  EXPECT_EQ(output, "sync: 0 present, 3 new, 0 failed, 0 removed\n");
  EXPECT_EQ(art.ImageRequests("a.jpg"), 1);
  art.SetCatalog(1, {"a.jpg", "gone.jpg", "gone.jpg", "b.jpg"});
  art.SetCatalog(2, {"gone.jpg", "c.jpg"});
  EXPECT_EQ(Sync(), 1);
  EXPECT_EQ(output, "sync: 3 present, 0 new, 1 failed, 0 removed\n");
  // Two URLs with one file name: the second cannot be stored, and counts.
  art.SetCatalog(2, {"c.jpg", "../other/c.jpg"});
  art.SetCatalog(1, {"a.jpg", "b.jpg"});
  EXPECT_EQ(Sync(), 1);
  EXPECT_EQ(output, "sync: 3 present, 0 new, 1 failed, 0 removed\n");
}

TEST_F(HostSyncTest, FailsWhenNothingCouldBeQueried) {
  ::setenv("ORVELLA_SERVER_URL", "http://127.0.0.1:1", 1);
  EXPECT_EQ(Sync(), 1);
  EXPECT_EQ(output, "sync: 0 present, 0 new, 0 failed, 0 removed\n");
}

// With no scheme, every query used to fail to open and the sync printed "0 failed" with
// exit status 0. Now the plug-in sends nothing to such an address, and the sync fails
// naming the variable; a scheme in capitals is still an address.
TEST_F(HostSyncTest, FailsNamingTheAddressWhenNoQueryCouldBeSent) {
  const std::string hostAndPort = art.Url().substr(std::strlen("http://"));
  for (const std::string& value : {hostAndPort, "localhost:" + std::to_string(art.server.port())}) {
    SCOPED_TRACE(value);
    ::setenv("ORVELLA_SERVER_URL", value.c_str(), 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Sync(), 1);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(output, "sync: 0 present, 0 new, 0 failed, 0 removed\n");
    EXPECT_NE(errors.find("orvella-host: no feed query was sent: ORVELLA_SERVER_URL \"" + value +
                          "\" is not an http or https URL"),
              std::string::npos)
        << errors;
  }
  EXPECT_EQ(art.server.RequestCount(), 0u);
  ::setenv("ORVELLA_SERVER_URL", ("HTTP://" + hostAndPort).c_str(), 1);
  EXPECT_EQ(Sync(), 1);  // gone.jpg cannot be fetched; the rest arrives
  EXPECT_EQ(output, "sync: 0 present, 3 new, 1 failed, 0 removed\n");
}

TEST_F(HostSyncTest, FailsWhenNoFeedIsEnabled) {
  host::IniProfile profile(options.profilePath);
  std::string error;
  ASSERT_TRUE(profile.Load(error)) << error;
  profile.SetInt("OrvellaPlugIn", "Feed0_Flg", 0);
  profile.SetInt("OrvellaPlugIn", "Feed1_Flg", 0);
  ASSERT_TRUE(profile.Save());
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Sync(), 1);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(output, "sync: 0 present, 0 new, 0 failed, 0 removed\n");
  EXPECT_NE(errors.find("no feed query was sent: no feed is enabled"), std::string::npos) << errors;
  EXPECT_EQ(art.server.RequestCount(), 0u);
}

TEST(SyncProgress, FollowsTheQueriesAndNamesTheCauseOfFailures) {
  host::SyncProgress progress;
  for (const wchar_t* line :
       {L"COrvellaThread::Start()", L"Refresh 0: lastTm=0, retries=0",
        L"QueryFeed: http://h/api/v3/art/?wall_width=1920&wall_height=1080",
        L"QueryFeed: data.size()=3", L"     3 Items found", L"     3 Items queued to download",
        L"Refresh 1: lastTm=0, retries=0",
        L"QueryFeed: http://h/api/v3/art/?clock_width=0&clock_height=0",
        L"HttpQueryInfo()  error returned by server: 400", L"Refresh 2: lastTm=0, retries=0",
        L"QueryFeed: http://h/api/v3/art/?user_token=***&wall_width=8&wall_height=6",
        L"HttpQueryInfo()  error returned by server: 401",
        L"DownloadImage(), http://h/1 -> /f/1.__t", L"Refresh 3: lastTm=0, retries=0",
        L"QueryFeed: http://h/api/v3/art/?wall_width=8&wall_height=6",
        L"InternetOpenUrl() failed, error 7"}) {
    progress.Observe(line);
  }
  EXPECT_FALSE(progress.batchDone() || progress.folderBusy());
  progress.Observe(L"DownloadNext(), image folder in use by another worker, tried again later: /f");
  EXPECT_TRUE(progress.folderBusy());
  progress.Observe(L"Download complete");
  EXPECT_TRUE(progress.workerStarted() && progress.batchDone());
  EXPECT_EQ(progress.feedsAsked(), 4);
  EXPECT_EQ(progress.feedsAnswered(), 1);
  EXPECT_EQ(progress.offered(), 3);
  // The total is the feeds to ask, known before they are asked.
  progress.SetFeedTotal(5);
  EXPECT_EQ(progress.Describe(), "1 of 5 feeds answered (3 items), 1 downloads begun");
  const std::vector<host::FeedFailure> failures = progress.failures();
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_EQ(failures[1].status, 401);
  const std::vector<std::string> hints = host::FailureHints(failures, "http://svc:1");
  ASSERT_EQ(hints.size(), 3u);  // the 400 is what the 0x0 query gets: no hint of its own
  EXPECT_TRUE(hints[0].starts_with("no display")) << hints[0];
  EXPECT_NE(hints[1].find("http://svc:1 refused the signed-in account (HTTP 401): sign in again"),
            std::string::npos)
      << hints[1];
  EXPECT_NE(hints[2].find("no answer from the art service at http://svc:1"), std::string::npos)
      << hints[2];
  // Another status is named as it is, with the address.
  EXPECT_EQ(host::FailureHints({{L"http://h/?wall_width=8&wall_height=6", 500, false}}, "u"),
            std::vector<std::string>{"the art service at u answered HTTP 500"});
}

// What the worker tried for each item, told by its lines between two refresh passes:
// each URL once, a refusal by its line, the batch's own lines no item's; and a full disk
// named when a line carries the system's reason.
TEST(SyncProgress, CountsEachTriedUrlOnceAndNamesAFullDisk) {
  host::SyncProgress progress;
  ASSERT_FALSE(host::DiskFullReasons().empty());
  const std::wstring full = host::DiskFullReasons().front();  // as the system words it
  for (const std::wstring& line :
       std::vector<std::wstring>{L"COrvellaThread::Start()",
                                 L"Refresh 0: lastTm=0, retries=0",
                                 L"DownloadImage(), http://h/a.jpg -> /f/a.__t",
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"DownloadImage(), http://h/x.jpg -> /f/x.__t",
                                 L"DownloadImage(), HTTP Error 404, url=x",
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"DownloadImage(), http://h/x.jpg -> /f/x.__t",
                                 L"DownloadImage(), HTTP Error 404, url=x",
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"File already exits: /f/u.jpg",
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"File already exits: /f/u.jpg",
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"DownloadImage(), http://h/y.jpg -> /f/y.__t",
                                 L"DownloadImage(), can't write file /f/y.__t: " + full,
                                 L"Refresh 0: lastTm=1, retries=0",
                                 L"DownloadNext(), can't write journal /f/rvt_orv_files.lst.jnl",
                                 L"Download complete"}) {
    progress.Observe(line);
  }
  host::FolderRecord after;
  after.files[L"http://h/a.jpg"] = L"a.jpg";
  EXPECT_EQ(progress.FailedItems(after), 3);  // x.jpg, u.jpg's refusal, y.jpg
  after.files[L"http://h/y.jpg"] = L"y.jpg";
  EXPECT_EQ(progress.FailedItems(after), 2);
  EXPECT_EQ(progress.diskFullReason(), WideToUtf8(full));
  host::SyncProgress quiet;
  quiet.Observe(L"DownloadImage(), can't write file /f/y.__t");
  EXPECT_EQ(quiet.diskFullReason(), "");
}

}  // namespace
}  // namespace orvella::test
