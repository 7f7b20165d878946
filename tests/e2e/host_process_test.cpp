// orvella-host as a person runs it: a process with a profile file, an image folder, a
// local service, its exit status and what it prints where.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/list_journal.h"
#include "system/folder_lock.h"
#include "tests/support/child_process.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/stalled_service.h"
#include "tools/orvella-host/stop_signal.h"

namespace orvella::test {
namespace {

class HostProcessTest : public ::testing::Test {
 protected:
  HostProcessTest() {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) art.SetImage(name, name);
    art.SetCatalog(1, {"a.jpg", "b.jpg"});
    art.SetCatalog(2, {"c.jpg"});
  }

  /// An enabled profile with a wallpaper and a clock feed filling `folder`.
  void WriteProfile(const std::string& extra = "") {
    home.Write("profile.ini", "[OrvellaPlugIn]\nEnabled=1\nImgFolder=" + folder.path().string() +
                                  "\nnFeeds=2\nFeed0_Type=1\nFeed0_Flg=1\nFeed1_Type=2\n"
                                  "Feed1_Flg=1\n" +
                                  extra);
  }
  std::string Profile() const { return home.Read("profile.ini"); }

  /// orvella-host with `args`, its profile, account folder and service from the fixture.
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> args,
                                      ChildProcess::Options options = {}) {
    options.env.emplace("ORVELLA_SERVER_URL", art.Url());
    options.env.emplace("XDG_CONFIG_HOME", (home / "config").string());
    options.env.emplace("ORVELLA_HOST_PROFILE", (home / "profile.ini").string());
    options.env.emplace("DISPLAY", "");
    args.insert(args.begin(), {"--module", ORVELLA_MODULE_PATH});
    return std::make_unique<ChildProcess>(ORVELLA_HOST_PATH, std::move(args), options);
  }
  /// Runs orvella-host to its end; returns its exit status.
  int Run(std::vector<std::string> args) {
    host = Start(std::move(args));
    return host->Wait();
  }

  TempDir home;
  TempDir folder;
  ArtService art;
  std::unique_ptr<ChildProcess> host;
};

TEST_F(HostProcessTest, RunStopsThePlugInOnTheFirstStopRequest) {
  WriteProfile();
  for (const int signal : {SIGINT, SIGTERM}) {
    host = Start({"run"});
    ASSERT_TRUE(host->WaitForErr("Ctrl-C stops the plug-in")) << host->err();
    host->Signal(signal);
    EXPECT_EQ(host->Wait(), 128 + signal) << host->err();
    // The plug-in's own stop (message 10) ended the worker.
    EXPECT_NE(host->err().find("COrvellaThread::Stop(), result: 0"), std::string::npos)
        << host->err();
  }
}

// The first Ctrl-C ends a sync whose worker waits in a feed query, wherever the service
// left it waiting, with the interrupted sync's status; the process is gone.
TEST_F(HostProcessTest, SyncEndsOnTheFirstCtrlCWhileAFeedQueryWaits) {
  WriteProfile();
  for (const StallPoint point : kStallPoints) {
    SCOPED_TRACE(StallName(point));
    StalledService stalled(point, "/api/v3/art/");
    ChildProcess::Options options;
    options.env["ORVELLA_SERVER_URL"] = stalled.BaseUrl();
    host = Start({"--verbose", "sync"}, options);
    ASSERT_TRUE(host->WaitForErr("QueryFeed: ")) << host->err();
    stalled.WaitUntilStalled();
    host->Signal(SIGINT);
    EXPECT_EQ(host->Wait(), 130) << host->err();  // reaped: the process is gone
    EXPECT_NE(host->err().find("COrvellaThread::Stop(), result: 0"), std::string::npos)
        << host->err();
  }
}

// A profile the host cannot parse is never written: every command names the file and
// the line and leaves the bytes as they were.
TEST_F(HostProcessTest, AProfileThatDoesNotParseIsLeftAloneAndNamed) {
  for (const auto& [text, line] :
       {std::pair<std::string, int>{"[OrvellaPlugIn]\n# kept\nEnabled 1\nImgFolder=/x\n", 3},
        {"<html>not a profile</html>\n", 1},
        {"[OrvellaPlugIn]\nEnabled=yes\nImgFolder=/x\n", 2},
        {"[OrvellaPlugIn]\nImgFolder=/caf\xE9\n", 2}}) {
    home.Write("profile.ini", text);
    for (const char* command : {"enable", "show", "sync"}) {
      EXPECT_EQ(Run({command}), 1) << command << " with\n" << text;
      EXPECT_EQ(Profile(), text);
      EXPECT_NE(
          host->err().find((home / "profile.ini").string() + ":" + std::to_string(line) + ": "),
          std::string::npos)
          << host->err();
      EXPECT_EQ(host->out(), "");
    }
  }
}

// A save keeps what the plug-in does not know about, writes what it changed, and fails
// loudly when the file may not be written.
TEST_F(HostProcessTest, SavesKeepCommentsAndUnknownKeysAndRefuseReadOnlyProfiles) {
  WriteProfile("# my note\nMyOwnKey=keep me\n[Other]\nx=1\n");
  std::filesystem::permissions(home / "profile.ini", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read);
  const std::string before = Profile();
  EXPECT_EQ(Run({"disable"}), 1);
  EXPECT_NE(host->err().find("profile.ini: the file is read-only; not changed"), std::string::npos)
      << host->err();
  EXPECT_EQ(host->out(), "");
  EXPECT_EQ(Profile(), before);
  std::filesystem::permissions(home / "profile.ini", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(Run({"disable"}), 0) << host->err();
  EXPECT_EQ(host->out(), "plug-in disabled (" + (home / "profile.ini").string() + ")\n");
  const std::string after = Profile();
  std::filesystem::permissions(home / "profile.ini", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(Run({"disable"}), 0) << host->err();  // nothing changes: nothing is written
  std::filesystem::permissions(home / "profile.ini", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  for (const char* kept :
       {"# my note\n", "MyOwnKey=keep me\n", "[Other]\nx=1\n", "Enabled=0\n", "Feed1_Type=2\n"}) {
    EXPECT_NE(after.find(kept), std::string::npos) << kept << " in\n" << after;
  }
  EXPECT_EQ(
      std::filesystem::status(home / "profile.ini").permissions() & std::filesystem::perms::all,
      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
          std::filesystem::perms::group_read);
  // No temporary file is left beside it.
  for (const auto& entry : std::filesystem::directory_iterator(home.path())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("profile.ini."));
  }
}

TEST_F(HostProcessTest, SyncReportsTheFolderAndFailsWhenItemsOrFeedsFail) {
  WriteProfile();
  EXPECT_EQ(Run({"sync"}), 0) << host->err();
  EXPECT_EQ(host->out(), "sync: 0 present, 3 new, 0 failed, 0 removed\n");
  EXPECT_NE(host->err().find("sync: 2 of 2 feeds answered (3 items)"), std::string::npos)
      << host->err();
  art.SetCatalog(1, {"a.jpg"});
  EXPECT_EQ(Run({"--quiet", "sync"}), 0);
  EXPECT_EQ(host->out(), "sync: 2 present, 0 new, 0 failed, 1 removed\n");
  EXPECT_EQ(host->err(), "");

  // A service error is a failed sync, with the service's address named.
  art.SetArtAnswer(2, [] { return Reply(500, "{}"); });
  EXPECT_EQ(Run({"sync"}), 1);
  // The failed feed has not said its file is gone: it stays.
  EXPECT_EQ(host->out(), "sync: 2 present, 0 new, 0 failed, 0 removed\n");
  EXPECT_NE(host->err().find("the art service at " + art.Url() + " answered HTTP 500"),
            std::string::npos)
      << host->err();

  // An item that cannot be fetched is a failed sync too.
  art.SetCatalog(2, {"c.jpg", "missing.jpg"});
  EXPECT_EQ(Run({"-q", "sync"}), 1);
  EXPECT_EQ(host->out(), "sync: 2 present, 0 new, 1 failed, 0 removed\n");

  // A pipe at the list's name is never read, by the plug-in or the count, and is named.
  std::filesystem::remove(folder / "rvt_orv_files.lst");
  ASSERT_TRUE(PlantPipe(folder / "rvt_orv_files.lst"));
  EXPECT_EQ(Run({"sync"}), 1);
  for (const std::string& line :
       {"the list file in " + folder.path().string() + " is not counted (it is not a regular file)",
        "the list file in " + folder.path().string() + " cannot be read: it is not a regular file"})
    EXPECT_NE(host->err().find(line), std::string::npos) << host->err();
}

TEST_F(HostProcessTest, SyncFailsWhenTheFolderCannotBeWrittenOrIsFull) {
  WriteProfile();
  // Root writes anywhere: the host then runs as nobody, with the files it needs readable.
  ChildProcess::Options asNobody;
  asNobody.runAsUser = 65534;
  for (const auto* dir : {&home, &folder}) {
    std::filesystem::permissions(dir->path(), std::filesystem::perms::all);
  }
  std::filesystem::permissions(home / "profile.ini", std::filesystem::perms::all);
  std::filesystem::permissions(
      folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                         std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
  host = Start({"sync"}, asNobody);
  EXPECT_EQ(host->Wait(), 1);
  EXPECT_NE(host->err().find("cannot write into the image folder " + folder.path().string() +
                             ": a file cannot be created in it"),
            std::string::npos)
      << host->err();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 0);

  std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
  // Killed while it tries whether the folder takes a file (at the try's first byte):
  // nothing of the try is left there.
  ChildProcess::Options killedAtWrite;
  killedAtWrite.maxFileBytes = 0;
  killedAtWrite.killAtMaxFileBytes = true;
  host = Start({"sync"}, killedAtWrite);
  EXPECT_EQ(host->Wait(), 128 + SIGXFSZ);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 0);

  // A full disk: every download fails, and so does the sync.
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) art.SetImage(name, std::string(4096, 'x'));
  ChildProcess::Options fullDisk;
  fullDisk.maxFileBytes = 1024;
  host = Start({"-q", "sync"}, fullDisk);
  EXPECT_EQ(host->Wait(), 1);
  EXPECT_EQ(host->out(), "sync: 0 present, 0 new, 3 failed, 0 removed\n");

  std::filesystem::remove_all(folder.path());
  EXPECT_EQ(Run({"sync"}), 1);
  EXPECT_NE(host->err().find(folder.path().string() + ": it does not exist"), std::string::npos)
      << host->err();
}

// A worker that holds the folder (a running host) would keep the sync's batch waiting
// for as long as it runs: the sync ends at once, counting nothing.
TEST_F(HostProcessTest, SyncEndsWhenAnotherWorkerHoldsTheFolder) {
  WriteProfile();
  const auto running = Start({"run"});
  ASSERT_TRUE(running->WaitForErr("Download complete")) << running->err();
  EXPECT_EQ(Run({"sync"}), 1);
  EXPECT_EQ(host->out(), "");
  EXPECT_NE(host->err().find("the image folder " + folder.path().string() +
                             " is in use by another worker"),
            std::string::npos)
      << host->err();
  running->Signal(SIGINT);
  EXPECT_EQ(running->Wait(), 130);
  EXPECT_EQ(Run({"-q", "sync"}), 0) << host->err();
  EXPECT_EQ(host->out(), "sync: 3 present, 0 new, 0 failed, 0 removed\n");
}

// The journal beside the list belongs to the worker that holds the folder: a sync that
// finds the folder held says so, not that an interrupted run left it.
TEST_F(HostProcessTest, SyncDoesNotTakeARunningWorkersJournalForAnInterruptedOne) {
  WriteProfile();
  FolderHandle handle;
  std::wstring reason;
  ASSERT_TRUE(handle.Open(folder.path(), reason));
  FolderLock held;
  ASSERT_EQ(held.TryAcquire(handle, L"rvt_orv_files.lst.lock", reason),
            FolderLock::Outcome::kLocked);
  std::string journal;
  ASSERT_TRUE(EncodeJournalEntry({JournalKind::kStarted, L"http://h/a.jpg", L"a.jpg"}, journal));
  folder.Write("rvt_orv_files.lst.jnl", journal);
  EXPECT_EQ(Run({"sync"}), 1);
  EXPECT_EQ(host->out(), "");
  EXPECT_NE(host->err().find("is in use by another worker"), std::string::npos) << host->err();
  EXPECT_EQ(host->err().find("interrupted run"), std::string::npos) << host->err();
  EXPECT_EQ(art.ArtRequests(1), 0);
  held.Release();
  EXPECT_EQ(Run({"-q", "sync"}), 0) << host->err();
  EXPECT_EQ(host->out(), "sync: 0 present, 3 new, 0 failed, 0 removed\n");
}

// The progress line's total is the feeds the pass asks, from its first line on.
TEST_F(HostProcessTest, SyncProgressCountsEveryFeedFromTheStart) {
  WriteProfile();
  // The clock feed answers late: the wallpaper feed's answer is shown before it is asked.
  art.SetArtAnswer(2, [this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return Reply(200, art.Catalog(2, {"c.jpg"}));
  });
  EXPECT_EQ(Run({"sync"}), 0) << host->err();
  EXPECT_NE(host->err().find("sync: 1 of 2 feeds answered"), std::string::npos) << host->err();
  EXPECT_EQ(host->err().find(" of 1 feeds"), std::string::npos) << host->err();
}

// A service that stops answering is named with what the sync waits for.
TEST_F(HostProcessTest, SyncSaysWhatAStalledServiceHoldsItFor) {
  WriteProfile();
  StalledService stalled(StallPoint::kBody, "/api/v3/art/");
  ChildProcess::Options options;
  options.env["ORVELLA_SERVER_URL"] = stalled.BaseUrl();
  host = Start({"sync"}, options);
  ASSERT_TRUE(
      host->WaitForErr("sync: waiting for a feed query to " + stalled.BaseUrl() + "/api/v3/art/?"))
      << host->err();
  EXPECT_NE(host->err().find("s without an answer; Ctrl-C stops)"), std::string::npos)
      << host->err();
  host->Signal(SIGINT);
  EXPECT_EQ(host->Wait(), 130) << host->err();
}

TEST_F(HostProcessTest, OptionsFollowTheGnuConventions) {
  WriteProfile();
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(host->out(), std::string("orvella-host ") + ORVELLA_VERSION_TEXT + "\n");
  EXPECT_EQ(Run({"-V"}), 0);
  EXPECT_EQ(host->out(), std::string("orvella-host ") + ORVELLA_VERSION_TEXT + "\n");
  EXPECT_EQ(Run({"--help"}), 0);
  const std::string help = host->out();
  EXPECT_NE(help.find("Usage: orvella-host [OPTION]... COMMAND"), std::string::npos);
  EXPECT_NE(help.find("see orvella-host(1)"), std::string::npos);
  for (std::size_t at = 0, end; (end = help.find('\n', at)) != std::string::npos; at = end + 1) {
    EXPECT_LE(end - at, 80u) << help.substr(at, end - at);
  }
  EXPECT_EQ(Run({"--profile=" + (home / "other.ini").string(), "show"}), 0);
  EXPECT_NE(host->out().find("other.ini (not there yet: the defaults)"), std::string::npos)
      << host->out();
  EXPECT_EQ(Run({"version", "--flavour=1"}), 0);  // options after the command too
  EXPECT_EQ(host->out().substr(0, 15), "Orvella v1.0.0\n");
  // A result that cannot be written is a failure.
  host = std::make_unique<ChildProcess>(
      "/bin/sh", std::vector<std::string>{
                     "-c", std::string("exec '") + ORVELLA_HOST_PATH + "' --version > /dev/full"});
  EXPECT_EQ(host->Wait(), 1);
  EXPECT_NE(host->err().find("cannot write the result"), std::string::npos) << host->err();
  for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                              {"--flavour", "x", "show"},
                                              {"--flavour=1x", "show"},
                                              {"--flavour=99999999999", "show"},
                                              {"--nope", "show"},
                                              {"frobnicate"},
                                              {"show", "extra"},
                                              {"-q", "-v", "show"},
                                              {"--profile"},
                                              {"--profile=", "show"}}) {
    EXPECT_EQ(Run(bad), 2);
    EXPECT_EQ(host->out(), "");
    EXPECT_NE(host->err().find("Try 'orvella-host --help'"), std::string::npos) << host->err();
  }
}

TEST_F(HostProcessTest, ModuleIsFoundInTheCurrentFolderAndMissingOnesAreNamed) {
  const std::filesystem::path module = ORVELLA_MODULE_PATH;
  ChildProcess::Options options;
  host = std::make_unique<ChildProcess>(
      "/bin/sh",
      std::vector<std::string>{"-c", "cd '" + module.parent_path().string() + "' && exec '" +
                                         ORVELLA_HOST_PATH + "' --module=Orvella.rpl version"},
      options);
  EXPECT_EQ(host->Wait(), 0) << host->err();
  EXPECT_EQ(host->out(), "Orvella v1.0.0\nmodule: Orvella.rpl\n");
  host = Start({"--module", (home / "none.rpl").string(), "version"});
  EXPECT_EQ(host->Wait(), 1);
  EXPECT_NE(host->err().find("cannot load the plug-in module " + (home / "none.rpl").string()),
            std::string::npos);
}

// The first request is taken and answered by a stop; a second ends the process at once,
// even while the stop still waits for the plug-in.
TEST(StopSignalDeathTest, ASecondRequestEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const auto& [first, second] : {std::pair{SIGINT, SIGTERM}, std::pair{SIGTERM, SIGINT}}) {
    EXPECT_EXIT(
        {
          ::signal(first, SIG_DFL);
          ::signal(second, SIG_DFL);
          host::StopSignal stop;
          ::raise(first);
          stop.Wait();
          if (stop.exitStatus() != 128 + first) std::_Exit(1);
          ::raise(second);
          std::_Exit(0);
        },
        ::testing::KilledBySignal(second), "");
  }
}

}  // namespace
}  // namespace orvella::test
