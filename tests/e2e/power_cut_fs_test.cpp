// The power-cut file system itself: through its mount, what was not flushed is gone
// after a cut, what was flushed is there, and the cut falls exactly after the chosen
// change. The module's power-cut test trusts these rules.
#include "tests/support/power_cut_fs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace orvella::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// Every file and folder under `root`, relative path to bytes ("/" for a folder).
std::map<std::string, std::string> Contents(const fs::path& root) {
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    if (entry.is_directory()) {
      found[name] = "/";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      found[name] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  return found;
}

// Runs `args` (found on PATH) in `env` and returns its exit status (-1: not run).
int RunProgram(std::vector<std::string> args, std::vector<std::string> env) {
  std::vector<char*> argv;
  std::vector<char*> envp;
  for (std::string& arg : args) argv.push_back(arg.data());
  for (std::string& variable : env) envp.push_back(variable.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Environment() {
  std::vector<std::string> env;
  for (char** variable = environ; *variable != nullptr; ++variable) env.emplace_back(*variable);
  return env;
}

class PowerCutFsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = PowerCutFs::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  }

  void Mount() { disk = std::make_unique<PowerCutFs>(backing.path(), mount.path()); }
  /// Cuts the power and unmounts.
  void Cut() {
    disk->CutNow();
    disk->Unmount();
    EXPECT_EQ(disk->Fault(), "");
  }
  /// What the disk held at the cut, its names read as `names` says.
  std::map<std::string, std::string> Disk(CachedDisk::Names names) const {
    TempDir after;
    disk->WriteDisk(after.path(), names);
    return Contents(after.path());
  }

  std::string In(const std::string& name) const { return (mount / name).string(); }
  /// Opens `name` in the mount with `flags`; fails the test when it cannot.
  int Open(const std::string& name, int flags) const {
    const int fd = ::open(In(name).c_str(), flags | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << name << ": " << std::strerror(errno);
    return fd;
  }
  /// Writes `bytes` at the start of a new (or emptied) file, flushed when `flush`.
  void Write(const std::string& name, const std::string& bytes, bool flush) const {
    const int fd = Open(name, O_WRONLY | O_CREAT | O_TRUNC);
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    if (flush) {
      EXPECT_EQ(::fsync(fd), 0);
    }
    ::close(fd);
  }
  /// Flushes the names of the folder `name` ("" the mount's root).
  void FlushFolder(const std::string& name) const {
    const int fd = Open(name, O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(::fsync(fd), 0);
    ::close(fd);
  }

  TempDir backing;
  TempDir mount;
  std::unique_ptr<PowerCutFs> disk;
};

TEST_F(PowerCutFsTest, WhatWasNotFlushedIsGoneAfterTheCut) {
  backing.Write("old.txt", "old");
  backing.Write("gone.txt", "gone");
  backing.Write("moved.txt", "moved");
  Mount();
  Write("empty.txt", "named, never flushed", false);
  Write("b.txt", "B", true);
  Write("u.txt", "U1", true);
  FlushFolder("");  // from here on every change is lost
  // Passed through: bytes, modes, times.
  EXPECT_EQ(Contents(mount.path())["empty.txt"], "named, never flushed");
  EXPECT_EQ(::chmod(In("empty.txt").c_str(), 0600), 0);
  const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  EXPECT_EQ(::utimensat(AT_FDCWD, In("empty.txt").c_str(), times, 0), 0);
  struct stat info {};
  ASSERT_EQ(::stat(In("empty.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_mtime, 1000000000);

  Write("c.txt", "flushed, never named", true);
  EXPECT_EQ(::rename(In("moved.txt").c_str(), In("moved2.txt").c_str()), 0);
  EXPECT_EQ(::unlink(In("gone.txt").c_str()), 0);
  Write("old.txt", "rewritten in place", false);
  const int b = Open("b.txt", O_WRONLY | O_APPEND);
  EXPECT_EQ(::write(b, "+more", 5), 5);
  ::close(b);
  // The name u.txt on the disk still names its file: the bytes flushed through a
  // descriptor of that file reach it, although the name is gone from the folder.
  const int u = Open("u.txt", O_WRONLY);
  EXPECT_EQ(::unlink(In("u.txt").c_str()), 0);
  EXPECT_EQ(::pwrite(u, "U2", 2, 0), 2);
  EXPECT_EQ(::fsync(u), 0);
  ::close(u);

  Cut();
  EXPECT_EQ(Disk(CachedDisk::Names::kAsFlushed),
            (std::map<std::string, std::string>{{"old.txt", "old"},
                                                {"gone.txt", "gone"},
                                                {"moved.txt", "moved"},
                                                {"empty.txt", ""},
                                                {"b.txt", "B"},
                                                {"u.txt", "U2"}}));
  // The names as they stood, each file's bytes still as last flushed.
  EXPECT_EQ(Disk(CachedDisk::Names::kAsTheyStand),
            (std::map<std::string, std::string>{{"old.txt", "old"},
                                                {"moved2.txt", "moved"},
                                                {"empty.txt", ""},
                                                {"b.txt", "B"},
                                                {"c.txt", "flushed, never named"}}));
  EXPECT_EQ(Contents(backing.path())["old.txt"], "rewritten in place") << "the system's view";
}

TEST_F(PowerCutFsTest, AFolderFlushPutsItsNamesAsTheyStandOnTheDisk) {
  backing.Write("t.txt", "old");
  backing.Write("gone.txt", "gone");
  Mount();
  Write("new.tmp", "new", true);
  EXPECT_EQ(::rename(In("new.tmp").c_str(), In("t.txt").c_str()), 0);  // over the old one
  EXPECT_EQ(::link(In("t.txt").c_str(), In("t2.txt").c_str()), 0);
  EXPECT_EQ(::unlink(In("gone.txt").c_str()), 0);
  EXPECT_EQ(::mkdir(In("sub").c_str(), 0755), 0);
  Write("sub/f.txt", "in a folder never flushed", true);
  FlushFolder("");

  Cut();
  std::map<std::string, std::string> expected = {{"t.txt", "new"}, {"t2.txt", "new"}, {"sub", "/"}};
  EXPECT_EQ(Disk(CachedDisk::Names::kAsFlushed), expected);
  expected["sub/f.txt"] = "in a folder never flushed";
  EXPECT_EQ(Disk(CachedDisk::Names::kAsTheyStand), expected);

  TempDir after;
  disk->WriteDisk(after.path(), CachedDisk::Names::kAsFlushed);
  struct stat one {};
  struct stat two {};
  ASSERT_EQ(::stat((after / "t.txt").c_str(), &one), 0);
  ASSERT_EQ(::stat((after / "t2.txt").c_str(), &two), 0);
  EXPECT_EQ(one.st_ino, two.st_ino) << "two names of one file stay one file";
}

// The cut after change k: that change is made, the next one refused, and reads before it
// are not counted. Cutting one change later keeps the folder's flush.
TEST_F(PowerCutFsTest, CutsRightAfterTheChosenChangeAndRefusesEverythingAfter) {
  for (const std::size_t cutAfter : {3u, 4u}) {
    SCOPED_TRACE("cut after " + std::to_string(cutAfter));
    for (const auto& entry : fs::directory_iterator(backing.path())) fs::remove_all(entry);
    backing.Write("seen.txt", "read, not counted");
    Mount();
    disk->StartCounting(cutAfter);
    EXPECT_EQ(Contents(mount.path())["seen.txt"], "read, not counted");
    EXPECT_FALSE(disk->WaitForCut(milliseconds(0)));

    const int folder = Open("", O_RDONLY | O_DIRECTORY);
    const int fd = Open("x.txt", O_WRONLY | O_CREAT | O_EXCL);  // 1
    EXPECT_EQ(::write(fd, "X", 1), 1);                          // 2
    EXPECT_EQ(::fsync(fd), 0);                                  // 3
    EXPECT_EQ(::fsync(folder), cutAfter == 3 ? -1 : 0);         // 4
    EXPECT_TRUE(disk->WaitForCut(milliseconds(0)));
    // Nothing after the cut reaches the disk, through a name or an open file.
    errno = 0;
    EXPECT_EQ(::pwrite(fd, "Y", 1, 0), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::fsync(fd), -1);
    EXPECT_EQ(::fsync(folder), -1);
    EXPECT_EQ(::rename(In("x.txt").c_str(), In("y.txt").c_str()), -1);
    ::close(fd);
    ::close(folder);

    const std::vector<FsOperation> done = disk->Operations();
    ASSERT_EQ(done.size(), cutAfter);
    EXPECT_EQ(done[0].Text(), "1 create /x.txt");
    EXPECT_EQ(done[1].Text(), "2 write /x.txt bytes 0-1");
    EXPECT_EQ(done[2].Text(), "3 fsync /x.txt");
    if (cutAfter == 4) {
      EXPECT_EQ(done[3].Text(), "4 fsyncdir /");
    }
    std::map<std::string, std::string> expected = {{"seen.txt", "read, not counted"}};
    if (cutAfter == 4) {
      expected["x.txt"] = "X";
      EXPECT_EQ(disk->FirstRefused(), "write /x.txt");
    } else {
      EXPECT_EQ(disk->FirstRefused(), "fsyncdir /");
    }
    Cut();
    EXPECT_EQ(Disk(CachedDisk::Names::kAsFlushed), expected);
    disk.reset();
  }
}

// The kernel keeps syncfs from a FUSE file system; the preloaded shim brings it there,
// and it flushes every file and folder. What comes after it is lost again.
TEST_F(PowerCutFsTest, SyncfsReachesItThroughThePreloadedShimAndFlushesEverything) {
  backing.Write("gone.txt", "removed before the syncfs");
  Mount();
  Write("synced.txt", "flushed by syncfs", false);
  EXPECT_EQ(::unlink(In("gone.txt").c_str()), 0);
  disk->StartCounting(std::nullopt);
  ASSERT_EQ(RunProgram({"sync", "-f", In("synced.txt")}, Environment()), 0);
  EXPECT_TRUE(disk->Operations().empty()) << "a syncfs the kernel forwarded";
  ASSERT_EQ(RunProgram({"sync", "-f", In("synced.txt")}, PreloadedEnvironment(ORVELLA_SYNCFS_SHIM)),
            0);
  const std::vector<FsOperation> done = disk->Operations();
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].Text(), "1 syncfs /synced.txt");
  Write("after.txt", "after the syncfs", false);

  Cut();
  EXPECT_EQ(Disk(CachedDisk::Names::kAsFlushed),
            (std::map<std::string, std::string>{{"synced.txt", "flushed by syncfs"}}));
}

}  // namespace
}  // namespace orvella::test
