// A host killed at random moments of its sync: the list file is whole after every kill, and
// two clean runs afterwards leave every offered file recorded and nothing the plug-in wrote
// untracked.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>

#include "engine/list_file_text.h"
#include "engine/list_journal.h"
#include "engine/local_names.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/two_feed_profile.h"

extern char** environ;

namespace orvella::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kImages = 40;
constexpr int kKills = 60;
constexpr unsigned kSeed = 20240611;

std::string ImageName(int i) {
  return "img" + std::to_string(100 + i).substr(1) + ".jpg";
}

class CrashTest : public ::testing::Test {
 protected:
  CrashTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    WriteTwoFeedProfile(profilePath(), folder.path());
    for (int i = 0; i < kImages; ++i) {
      Reply image(200, PatternBytes(1000 + 5000 * static_cast<std::size_t>(i), 'a' + i % 20),
                  "image/jpeg");
      image.delay = milliseconds(i % 3);  // spreads the kills over more of the downloads
      art.SetImage(ImageName(i), image);
    }
    folder.Write("user.jpg", "the user's own");
    folder.Write("user.rprop", "its properties");
  }

  std::string profilePath() const { return (run.path() / "profile.ini").string(); }

  /// Offers the images whose bit is set: even ones as wallpapers, odd ones as clocks.
  void Offer(const std::vector<bool>& offered) {
    std::vector<std::string> feeds[2];
    for (int i = 0; i < kImages; ++i) {
      if (offered[static_cast<std::size_t>(i)]) feeds[i % 2].push_back(ImageName(i));
    }
    art.SetCatalog(1, feeds[0]);
    art.SetCatalog(2, feeds[1]);
  }

  pid_t SpawnSync() const {
    std::vector<std::string> args = {
        ORVELLA_HOST_PATH, "--module", ModulePathText(), "--profile", profilePath(),
        "--quiet",         "sync"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0);
    return pid;
  }
  static std::string ModulePathText() { return ORVELLA_MODULE_PATH; }

  /// Runs one sync to its end; returns its exit status.
  int CleanSync() const {
    int status = 0;
    ::waitpid(SpawnSync(), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  /// The list file's pairs, after checking that it is whole: its header, a count that
  /// matches its pairs, every line ended by CR LF. Empty when there is no list yet.
  std::map<std::wstring, std::wstring> WholeList() const {
    if (!fs::exists(folder / "rvt_orv_files.lst")) return {};
    const std::string bytes = folder.Read("rvt_orv_files.lst");
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; ++at) {
      EXPECT_EQ(bytes[at - 1], '\r');
      ++lines;
    }
    EXPECT_EQ(bytes.back(), '\n');
    CFileMap files;
    EXPECT_TRUE(DecodeListFile(bytes, files));
    EXPECT_EQ(files.GetCount() * 2 + 2, lines);
    EXPECT_NE(bytes.find("\r\n" + std::to_string(files.GetCount()) + "\r\n"), std::string::npos);
    std::map<std::wstring, std::wstring> pairs;
    for (const CFileData& record : files) pairs[record.url] = record.localName;
    return pairs;
  }

  /// The names in the folder. orvella-host's own try of the folder leaves no name there,
  /// whenever the kill comes.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  /// Names in the folder that neither the list nor the journal accounts for (beside the
  /// user's files and the plug-in's own).
  std::set<std::string> Untracked() const {
    std::set<std::wstring> known = {L"user.jpg",       L"user.rprop",    kListFileName,
                                    kListTempFileName, kJournalFileName, kLockFileName};
    for (const auto& [url, name] : WholeList()) known.insert(name);
    bool cut = false;
    for (const JournalEntry& entry : DecodeJournal(folder.Read("rvt_orv_files.lst.jnl"), cut)) {
      known.insert(entry.name);
      known.insert(WorkName(entry.name));
    }
    std::set<std::string> stray;
    for (const std::string& name : Names()) {
      if (known.count(Utf8ToWide(name)) == 0) stray.insert(name);
    }
    return stray;
  }

  ScopedConfigHome config;
  TempDir run;
  TempDir folder;
  ArtService art;
};

TEST_F(CrashTest, KillsAtRandomMomentsLoseNoRecordAndLeaveNoStrayFile) {
  std::mt19937 random(kSeed);
  Offer(std::vector<bool>(kImages, true));
  const auto started = steady_clock::now();
  ASSERT_EQ(CleanSync(), 0);
  // Kills fall anywhere from the program's start to most of a whole sync's length: later
  // syncs have less to fetch, so this still reaches their batch ends.
  const auto whole = std::chrono::duration_cast<milliseconds>(steady_clock::now() - started);
  std::uniform_int_distribution<int> moment(0, static_cast<int>(whole.count() * 3 / 4) + 1);
  std::bernoulli_distribution kept(0.7);
  int kills = 0;
  for (int attempt = 0; kills < kKills && attempt < 4 * kKills; ++attempt) {
    std::vector<bool> offered(kImages);
    for (int i = 0; i < kImages; ++i) offered[static_cast<std::size_t>(i)] = kept(random);
    Offer(offered);
    const pid_t pid = SpawnSync();
    std::this_thread::sleep_for(milliseconds(moment(random)));
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) {  // still running: this is a kill
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ++kills;
    }
    // At every moment the list and the journal together account for every file.
    const std::set<std::string> stray = Untracked();
    ASSERT_TRUE(stray.empty()) << "after attempt " << attempt << ": " << *stray.begin();
  }
  EXPECT_GE(kills, kKills);

  Offer(std::vector<bool>(kImages, true));
  ASSERT_EQ(CleanSync(), 0);
  ASSERT_EQ(CleanSync(), 0);
  std::map<std::wstring, std::wstring> expected;
  std::set<std::string> names = {"user.jpg", "user.rprop", "rvt_orv_files.lst"};
  for (int i = 0; i < kImages; ++i) {
    expected[art.ImageUrl(ImageName(i))] = Utf8ToWide(ImageName(i));
    names.insert(ImageName(i));
    EXPECT_TRUE(folder.Read(ImageName(i)) ==
                PatternBytes(1000 + 5000 * static_cast<std::size_t>(i), 'a' + i % 20))
        << ImageName(i);
  }
  EXPECT_EQ(WholeList(), expected);
  EXPECT_EQ(Names(), names);
  EXPECT_EQ(folder.Read("user.jpg"), "the user's own");
  EXPECT_EQ(folder.Read("user.rprop"), "its properties");
  std::printf("[ crash    ] %d kills, seed %u; a whole sync took %d ms\n", kills, kSeed,
              static_cast<int>(whole.count()));
}

}  // namespace
}  // namespace orvella::test
