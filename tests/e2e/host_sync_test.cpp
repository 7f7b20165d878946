// orvella-host's sync command: one pass of the real module against a local service.
#include "tools/orvella-host/host_sync.h"

#include <stdlib.h>

#include "tests/engine/engine_fixture.h"
#include "tests/support/module_host.h"

namespace orvella::test {
namespace {

class HostSyncTest : public ::testing::Test {
 protected:
  HostSyncTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    options.modulePath = ModulePath();
    options.profilePath = (config.path() / "profile.ini").string();
    options.quiet = true;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) art.SetImage(name, name);
    art.SetCatalog(1, {"a.jpg", "b.jpg", "gone.jpg"});
    art.SetCatalog(2, {"c.jpg"});
    host::IniProfile profile(options.profilePath);  // disabled, a wallpaper and a clock feed
    for (const auto& [key, value] : {std::pair<const char*, int>{"Enabled", 0},
                                     {"nFeeds", 2},
                                     {"Feed0_Type", 1},
                                     {"Feed0_Flg", 1},
                                     {"Feed1_Type", 2},
                                     {"Feed1_Flg", 1}}) {
      profile.SetInt("OrvellaPlugIn", key, value);
    }
    profile.SetString("OrvellaPlugIn", "ImgFolder", folder.path().string());
    EXPECT_TRUE(profile.Save());
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

TEST_F(HostSyncTest, OnePassFillsTheFolderReportsItAndLeavesTheProfile) {
  EXPECT_EQ(Sync(), 0);
  EXPECT_EQ(folder.Read("c.jpg"), "c.jpg");
  EXPECT_NE(output.find("sync done: 2 of 2 feeds answered; 4 items queued, 3 downloaded, 1 "
                        "failed; 1 notices of new files"),
            std::string::npos)
      << output;
  EXPECT_EQ(Sync(), 0);  // everything is present now
  EXPECT_NE(output.find("4 items queued, 0 downloaded, 1 failed; 0 notices"), std::string::npos)
      << output;
  host::HostSession check(options);  // enabled for the passes only
  ASSERT_TRUE(check.Open());
  EXPECT_EQ(check.Send(40, 0, 0), 1);
}

TEST_F(HostSyncTest, FailsWhenNothingCouldBeQueried) {
  ::setenv("ORVELLA_SERVER_URL", "http://127.0.0.1:1", 1);
  EXPECT_EQ(Sync(), 1);
  EXPECT_NE(output.find("0 of 2 feeds answered"), std::string::npos) << output;
}

TEST(SyncProgress, CountsDownloadsByTheirOutcome) {
  host::SyncProgress progress;
  for (const wchar_t* line :
       {L"COrvellaThread::Start()", L"QueryFeed: http://h/a", L"     3 Items found",
        L"DownloadImage(), http://h/1 -> /f/1.__t", L"Refresh 0: lastTm=5, retries=0",
        L"DownloadImage(), http://h/2 -> /f/2.__t", L"DownloadImage(), HTTP Error 404, url=x",
        L"DownloadImage(), http://h/3 -> /f/3.__t", L"DownloadNext(), can't rename a to b"}) {
    progress.Observe(line);
  }
  EXPECT_FALSE(progress.batchDone());
  progress.Observe(L"Download complete");
  EXPECT_TRUE(progress.workerStarted() && progress.batchDone());
  EXPECT_EQ(progress.feedsAnswered(), 1);
  EXPECT_EQ(progress.Describe(), "3 items queued, 1 downloaded, 2 failed");
}

}  // namespace
}  // namespace orvella::test
