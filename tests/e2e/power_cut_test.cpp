// Power cuts at chosen moments of a real sync. orvella-host runs the module with its image
// folder on the power-cut file system (tests/support/power_cut_fs.h), which cuts the
// power right after a chosen change: only what was flushed by then survives. Then two
// clean syncs run on what the disk kept, and the folder must hold every offered picture
// with the bytes the service served, a whole list recording every picture in it, no work
// file, and the user's own files as they were. The cuts are placed by a fixed seed over a
// reference run's changes: around each flush, at changes of names, anywhere, and after
// the sync's end.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>

#include "tests/e2e/power_cut_checks.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/host_sync_spawn.h"
#include "tests/support/power_cut_fs.h"
#include "tests/support/two_feed_profile.h"

namespace orvella::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr unsigned kSeed = 20240917;
constexpr std::size_t kPointsPerSync = 18;
constexpr int kImages = 32;  // the first 24 make the first catalogue
constexpr std::size_t kAfterTheEnd = SIZE_MAX;

std::string ImageName(int i) {
  return "img" + std::to_string(100 + i).substr(1) + ".jpg";
}

bool IsFlush(const std::string& kind) {
  return kind == "fsync" || kind == "fdatasync" || kind == "fsyncdir" || kind == "syncfs";
}

// One orvella-host sync: its exit status (128 + signal when killed) and output.
struct SyncRun {
  int status = -1;
  std::string out;
  std::string err;
  /// The line that says most: the sync's summary or its first complaint.
  std::string Said() const {
    const std::string& text = err.empty() ? out : err;
    return text.substr(0, text.find('\n'));
  }
};

// The two readings of the disk after a cut (cached_disk.h), as the table names them.
constexpr std::pair<CachedDisk::Names, const char*> kReadings[] = {
    {CachedDisk::Names::kAsFlushed, "flushed names"},
    {CachedDisk::Names::kAsTheyStand, "all names"}};

// One cut and what the folder looked like after it and the clean syncs, in each reading.
struct CutPoint {
  std::string id;
  std::string cutAfter;  // the change the cut came right after, as the run made it
  std::string refused;   // the first call the cut refused
  std::vector<std::string> failures[std::size(kReadings)];
};

class PowerCutTest : public ::testing::Test {
 protected:
  PowerCutTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    offered.urlPrefix = WideToUtf8(art.ImageUrl(""));
    for (int i = 0; i < kImages; ++i) {
      const std::string name = ImageName(i);
      offered.served[name] = PatternBytes(1500 + 3700 * static_cast<std::size_t>(i), 'a' + i % 20);
      art.SetImage(name, offered.served[name]);
    }
    // One of the user's files is empty: no mending of empty pictures may take it.
    offered.userFiles = {
        {"user.jpg", "the user's own"}, {"user.rprop", "its properties"}, {"user-empty.jpg", ""}};
  }
  void SetUp() override {
    if (const std::string why = PowerCutFs::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  }

  /// Offers images `from` to `to` (exclusive) but every `skip`-th: even ones as
  /// wallpapers, odd ones as clocks.
  void Offer(int from, int to, int skip = 0) {
    std::vector<std::string> feeds[2];
    offered.names.clear();
    for (int i = from; i < to; ++i) {
      if (skip != 0 && i % skip == 0) continue;
      feeds[i % 2].push_back(ImageName(i));
      offered.names.insert(ImageName(i));
    }
    art.SetCatalog(1, feeds[0]);
    art.SetCatalog(2, feeds[1]);
  }

  void PlantUserFiles(const TempDir& folder) const {
    for (const auto& [name, bytes] : offered.userFiles) folder.Write(name, bytes);
  }

  /// Starts orvella-host's sync of `folder`, its output going to files of the run folder.
  pid_t StartSync(const fs::path& folder) const {
    WriteTwoFeedProfile(Profile(), folder);
    // Its syncfs() calls reach the file system through the shim.
    std::vector<std::string> env = PreloadedEnvironment(ORVELLA_SYNCFS_SHIM);
    std::vector<char*> envp;
    for (std::string& variable : env) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const pid_t pid = SpawnHostSync(Profile(), Out("out"), Out("err"), envp.data());
    EXPECT_NE(pid, -1);
    return pid;
  }
  /// Waits for the sync started as `pid` and returns how it ended.
  SyncRun EndOf(pid_t pid) const {
    int status = 0;
    ::waitpid(pid, &status, 0);
    SyncRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = this->run.Read("sync.out");
    run.err = this->run.Read("sync.err");
    return run;
  }
  SyncRun Sync(const fs::path& folder) const { return EndOf(StartSync(folder)); }

  std::string Profile() const { return (run / "profile.ini").string(); }
  std::string Out(const std::string& stream) const { return (run / ("sync." + stream)).string(); }

  /// A sync of a copy of `base` on the file system, the power never cut: the changes it
  /// made, in order. The folder must then be as every check wants it.
  std::vector<FsOperation> ReferenceRun(const fs::path& base) {
    TempDir backing;
    TempDir mount;
    fs::copy(base, backing.path(), fs::copy_options::recursive);
    PowerCutFs disk(backing.path(), mount.path());
    disk.StartCounting(std::nullopt);
    const SyncRun sync = Sync(mount.path());
    EXPECT_EQ(sync.status, 0) << sync.Said();
    const std::vector<FsOperation> changes = disk.Operations();
    disk.Unmount();
    EXPECT_EQ(disk.Fault(), "");
    const std::vector<std::string> wrong = FolderFailures(backing.path(), offered);
    EXPECT_TRUE(wrong.empty()) << "the reference run's folder: " << wrong.front();
    return changes;
  }

  /// Cuts the power after change `cutAfter` of a sync of a copy of `base` (kAfterTheEnd:
  /// once it ended), then, for each reading of what the disk kept, runs two clean syncs
  /// on it and checks the folder.
  CutPoint Cut(const std::string& id, const fs::path& base, std::size_t cutAfter) {
    CutPoint point{id, "", "", {}};
    TempDir backing;
    TempDir mount;
    fs::copy(base, backing.path(), fs::copy_options::recursive);
    PowerCutFs disk(backing.path(), mount.path());
    disk.StartCounting(cutAfter == kAfterTheEnd ? std::nullopt : std::optional(cutAfter));
    const pid_t pid = StartSync(mount.path());
    const bool ended = WaitForCutOrEnd(disk, pid);
    const std::vector<FsOperation> changes = disk.Operations();
    point.cutAfter = changes.empty() ? "0 (before any change)" : changes.back().Text();
    if (ended) point.cutAfter += " (the sync's last)";
    point.refused = disk.FirstRefused();
    disk.Unmount();
    for (std::size_t reading = 0; reading < std::size(kReadings); ++reading) {
      std::vector<std::string>& failures = point.failures[reading];
      if (!disk.Fault().empty()) failures.push_back("file system: " + disk.Fault());
      TempDir folder;
      disk.WriteDisk(folder.path(), kReadings[reading].first);
      AfterTheCut(folder.path(), failures);
    }
    return point;
  }

  /// Checks the list the disk kept in `folder`, runs two clean syncs there and adds what
  /// is wrong afterwards to `failures`.
  void AfterTheCut(const fs::path& folder, std::vector<std::string>& failures) const {
    std::string list;
    if (ReadPlainFile(folder / "rvt_orv_files.lst", list)) {
      CFileMap files;
      const std::string problem = ListProblem(list, files);
      if (!problem.empty()) failures.push_back("list at the cut: " + problem);
    }
    const SyncRun first = Sync(folder);
    const SyncRun second = Sync(folder);
    if (first.status != 0 || second.status != 0) {
      failures.push_back("clean syncs: exit " + std::to_string(first.status) + ", " +
                         std::to_string(second.status) + " (\"" + second.Said() + "\")");
    }
    for (const std::string& failure : FolderFailures(folder, offered)) failures.push_back(failure);
  }

  /// Waits until the power is cut (then kills the sync at once) or the sync ends (then
  /// cuts the power). Returns whether the sync ended by itself.
  static bool WaitForCutOrEnd(PowerCutFs& disk, pid_t pid) {
    for (;;) {
      if (disk.WaitForCut(milliseconds(2))) {
        if (pid > 0) {
          ::kill(pid, SIGKILL);
          ::waitpid(pid, nullptr, 0);
        }
        return false;
      }
      // Ended, or never started (StartSync has failed the test then).
      if (pid <= 0 || ::waitpid(pid, nullptr, WNOHANG) != 0) {
        disk.CutNow();
        return true;
      }
    }
  }

  /// Cuts the power at kPointsPerSync points of a sync of `base` and reports each.
  void CutAtPoints(const std::string& prefix, const fs::path& base) {
    const std::vector<FsOperation> reference = ReferenceRun(base);
    ASSERT_FALSE(reference.empty());
    std::map<std::string, int> kinds;
    for (const FsOperation& change : reference) ++kinds[change.kind];
    std::string counts;
    for (const auto& [kind, n] : kinds) counts += " " + std::to_string(n) + " " + kind;
    std::printf("[ powercut ] %s: the reference sync made %zu changes:%s\n", prefix.c_str(),
                reference.size(), counts.c_str());
    std::mt19937 random(kSeed + static_cast<unsigned>(prefix[0]));
    int n = 0;
    std::string damaged[std::size(kReadings)];  // the cuts that left the folder damaged
    for (const std::size_t cutAfter : ChoosePoints(reference, random)) {
      ++n;
      const std::string id = prefix + (n < 10 ? "0" : "") + std::to_string(n);
      const CutPoint point = Cut(id, base, cutAfter);
      std::printf("[ powercut ] %s cut after %s; refused next: %s\n", id.c_str(),
                  point.cutAfter.c_str(), point.refused.empty() ? "-" : point.refused.c_str());
      for (std::size_t reading = 0; reading < std::size(kReadings); ++reading) {
        const std::vector<std::string>& failures = point.failures[reading];
        std::string outcome = failures.empty() ? "ok" : "FAILED";
        for (const std::string& failure : failures) outcome += "\n        " + failure;
        std::printf("[ powercut ]     %s: %s\n", kReadings[reading].second, outcome.c_str());
        if (!failures.empty()) damaged[reading] += " " + id;
      }
    }
    for (std::size_t reading = 0; reading < std::size(kReadings); ++reading) {
      EXPECT_EQ(damaged[reading], "")
          << "the cuts (of " << n << ", seed " << kSeed << ") that left the folder damaged with "
          << kReadings[reading].second << " on the disk";
    }
  }

  /// Where to cut, as change numbers of the reference run (kAfterTheEnd for after its
  /// end): just before and just after flushes (up to a third of the points), at changes
  /// of names (half of the rest), anywhere (the rest). In order.
  static std::vector<std::size_t> ChoosePoints(const std::vector<FsOperation>& reference,
                                               std::mt19937& random) {
    std::vector<std::size_t> aroundFlushes, names, anywhere;
    for (const FsOperation& change : reference) {
      anywhere.push_back(change.number);
      if (IsFlush(change.kind)) {
        aroundFlushes.push_back(change.number - 1);
        aroundFlushes.push_back(change.number);
      } else if (change.kind != "write" && change.kind != "truncate") {
        names.push_back(change.number);
      }
    }
    std::set<std::size_t> chosen = {kAfterTheEnd};
    const auto take = [&](std::vector<std::size_t> from, std::size_t upTo) {
      std::shuffle(from.begin(), from.end(), random);
      for (const std::size_t point : from) {
        if (chosen.size() >= upTo) break;
        chosen.insert(point);
      }
    };
    take(aroundFlushes, 1 + kPointsPerSync / 3);
    take(names, chosen.size() + (kPointsPerSync - chosen.size()) / 2);
    take(anywhere, kPointsPerSync);
    return {chosen.begin(), chosen.end()};
  }

  ScopedConfigHome config;
  TempDir run;
  ArtService art;
  Offered offered;
};

TEST_F(PowerCutTest, CutsDuringASyncIntoAnEmptyFolderLoseNothingOnceSyncedAgain) {
  TempDir base;
  PlantUserFiles(base);
  Offer(0, 24);
  CutAtPoints("E", base.path());
}

TEST_F(PowerCutTest, CutsDuringASyncThatReplacesPartOfTheCatalogueLoseNothingOnceSyncedAgain) {
  TempDir base;
  PlantUserFiles(base);
  Offer(0, 24);
  const SyncRun first = Sync(base.path());
  ASSERT_EQ(first.status, 0) << first.Said();
  // Every third picture goes (eight of them), five new ones come.
  Offer(0, kImages, 3);
  CutAtPoints("R", base.path());
}

}  // namespace
}  // namespace orvella::test
