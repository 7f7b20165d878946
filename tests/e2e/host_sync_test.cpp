// orvella-host's sync command: one pass of the real module against a local service.
#include "tools/host/host_sync.h"

#include <stdlib.h>

#include "host/text_utf8.h"
#include "tests/engine/art_server_fixture.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

using host::HostOptions;
using host::HostSession;

class HostSyncTest : public ::testing::Test {
 protected:
  HostSyncTest() {
    ::setenv("ORVELLA_SERVER_URL", server.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    options.modulePath = ModulePath();
    options.profilePath = (config.path() / "profile.ini").string();
    options.quiet = true;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) server.SetImage(name, name);
    server.SetCatalog(1, {"a.jpg", "b.jpg", "gone.jpg"});
    server.SetCatalog(2, {"c.jpg"});
  }
  /// Writes a profile with `feeds` feeds (wallpapers, then clocks), disabled.
  void WriteProfile(int feeds) {
    HostSession writer(options);
    writer.profile().SetInt("OrvellaPlugIn", "Enabled", 0);
    writer.profile().SetString("OrvellaPlugIn", "ImgFolder", folder.path().string());
    writer.profile().SetInt("OrvellaPlugIn", "nFeeds", feeds);
    for (int i = 0; i < feeds; ++i) {
      const std::string feed = "Feed" + std::to_string(i) + "_";
      writer.profile().SetInt("OrvellaPlugIn", feed + "Type", i + 1);
      writer.profile().SetInt("OrvellaPlugIn", feed + "Flg", 1);
      writer.profile().SetInt("OrvellaPlugIn", feed + "MaxP", 10);
    }
    ASSERT_TRUE(writer.profile().Save());
  }
  int Sync() {
    HostSession session(options);
    if (!session.Open()) return -1;
    ::testing::internal::CaptureStdout();
    const int status = host::CommandSync(session);
    output = ::testing::internal::GetCapturedStdout();
    return status;
  }

  ScopedConfigHome config;
  TempDir folder;
  ArtServer server;
  HostOptions options;
  std::string output;
};

TEST_F(HostSyncTest, OnePassFillsTheFolderAndReportsIt) {
  WriteProfile(2);
  EXPECT_EQ(Sync(), 0);
  EXPECT_EQ(folder.Read("a.jpg"), "a.jpg");
  EXPECT_EQ(folder.Read("c.jpg"), "c.jpg");
  EXPECT_NE(output.find("sync done: 2 of 2 feeds answered; 4 items queued, 3 downloaded, 1 failed; "
                        "1 notices of new files"),
            std::string::npos)
      << output;
  // Enabled for the pass only: the profile still says disabled.
  HostSession check(options);
  ASSERT_TRUE(check.Open());
  EXPECT_EQ(check.Send(40, 0, 0), 1);

  // A second pass finds everything present.
  EXPECT_EQ(Sync(), 0);
  EXPECT_NE(output.find("4 items queued, 0 downloaded, 1 failed; 0 notices"), std::string::npos)
      << output;
}

TEST_F(HostSyncTest, FailsWhenNothingCouldBeQueried) {
  WriteProfile(2);
  ::setenv("ORVELLA_SERVER_URL", "http://127.0.0.1:1", 1);
  EXPECT_EQ(Sync(), 1);
  EXPECT_NE(output.find("0 of 2 feeds answered"), std::string::npos) << output;

  WriteProfile(0);  // no feed: no worker at all
  EXPECT_EQ(Sync(), 1);
}

TEST(SyncProgress, CountsDownloadsByTheirOutcome) {
  host::SyncProgress progress;
  for (const wchar_t* line :
       {L"COrvellaThread::Start()", L"Refresh 0: lastTm=0, retries=0", L"QueryFeed: http://h/a",
        L"QueryFeed: data.size()=3", L"     3 Items found", L"     3 Items queued to download",
        L"Refresh 0: lastTm=5, retries=0", L"DownloadImage(), http://h/1 -> /f/1.__t",
        L"Refresh 0: lastTm=5, retries=0", L"DownloadImage(), http://h/2 -> /f/2.__t",
        L"DownloadImage(), HTTP Error 404, url=http://h/2", L"Refresh 0: lastTm=5, retries=0",
        L"DownloadImage(), http://h/3 -> /f/3.__t", L"DownloadNext(), can't rename a to b"}) {
    progress.Observe(line);
  }
  EXPECT_FALSE(progress.batchDone());
  progress.Observe(L"Download complete");
  EXPECT_TRUE(progress.workerStarted());
  EXPECT_TRUE(progress.batchDone());
  EXPECT_EQ(progress.feedsAsked(), 1);
  EXPECT_EQ(progress.feedsAnswered(), 1);
  EXPECT_EQ(progress.Describe(), "3 items queued, 1 downloaded, 2 failed");
}

}  // namespace
}  // namespace orvella::test
