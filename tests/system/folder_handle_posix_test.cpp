// What stands at the plug-in's names on POSIX: links of every kind, pipes, other users'
// files and hard links are never the plug-in's own, and the folder is the one opened even
// when its path is renamed or swapped for a link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "system/folder_lock.h"
#include "tests/support/file_size_limit_posix.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

class FolderHandleTest : public ::testing::Test {
 protected:
  FolderHandleTest() {
    std::wstring reason;
    EXPECT_TRUE(folder.Open(dir / "pics", reason) ||
                (fs::create_directories(dir / "pics") && folder.Open(dir / "pics", reason)));
    outside.Write("precious", "keep me");
  }
  FolderLock::Outcome Lock(FolderLock& lock) {
    std::wstring reason;
    return lock.TryAcquire(folder, L"x.lock", reason);
  }
  fs::path In(const std::string& name) const { return dir / "pics" / name; }

  TempDir dir;
  TempDir outside;
  FolderHandle folder;
};

TEST_F(FolderHandleTest, TheLockIsTakenOnlyOnThePlugInsOwnPlainFile) {
  const fs::path target = outside / "precious";
  const auto planted = [&](const std::string& what) {
    fs::remove_all(In("x.lock"));
    if (what == "link") fs::create_symlink(target, In("x.lock"));
    if (what == "dangling") fs::create_symlink(outside / "nothing", In("x.lock"));
    if (what == "pipe") ::mkfifo(In("x.lock").c_str(), 0644);
    if (what == "folder") fs::create_directories(In("x.lock"));
    if (what == "hard link") fs::create_hard_link(target, In("x.lock"));
  };
  for (const std::string what : {"link", "dangling", "pipe", "folder", "hard link"}) {
    planted(what);
    FolderLock lock;
    EXPECT_EQ(Lock(lock), FolderLock::Outcome::kFailed) << what;
    EXPECT_FALSE(lock.Held()) << what;
  }
  EXPECT_EQ(outside.Read("precious"), "keep me");
  EXPECT_FALSE(fs::exists(outside / "nothing"));
  fs::remove_all(In("x.lock"));
  // Another user's file, even a plain one, is not the plug-in's lock (root can tell).
  if (::geteuid() == 0) {
    ::close(::open(In("x.lock").c_str(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(::chown(In("x.lock").c_str(), 65534, 65534), 0);
    FolderLock lock;
    EXPECT_EQ(Lock(lock), FolderLock::Outcome::kFailed);
    fs::remove(In("x.lock"));
  }
  FolderLock lock;
  EXPECT_EQ(Lock(lock), FolderLock::Outcome::kLocked);  // the plain file of its own
}

TEST_F(FolderHandleTest, ALockFileDeletedOrReplacedWhileHeldIsNoticed) {
  FolderLock lock;
  ASSERT_EQ(Lock(lock), FolderLock::Outcome::kLocked);
  EXPECT_TRUE(lock.StillHeld());
  fs::remove(In("x.lock"));
  EXPECT_FALSE(lock.StillHeld());
  FolderLock second;
  EXPECT_EQ(Lock(second), FolderLock::Outcome::kLocked);  // a new file: a new holder
  EXPECT_FALSE(lock.StillHeld());
  lock.Release();
  EXPECT_TRUE(fs::exists(In("x.lock")));  // the old holder removes nobody else's file
  EXPECT_TRUE(second.StillHeld());
}

TEST_F(FolderHandleTest, AppendsGoOnlyToAPlainFileOfOurOwn) {
  AppendFile file;
  std::wstring reason;
  fs::create_hard_link(outside / "precious", In("j"));
  EXPECT_FALSE(folder.OpenOwnForAppend(L"j", file, &reason));  // two links: not ours
  fs::remove(In("j"));
  fs::create_symlink(outside / "precious", In("j"));
  EXPECT_FALSE(folder.OpenOwnForAppend(L"j", file, &reason));
  fs::remove(In("j"));
  fs::create_symlink(outside / "nothing", In("j"));
  EXPECT_FALSE(folder.OpenOwnForAppend(L"j", file, &reason));
  EXPECT_FALSE(fs::exists(outside / "nothing"));
  fs::remove(In("j"));
  ASSERT_TRUE(folder.OpenOwnForAppend(L"j", file, &reason));
  EXPECT_TRUE(file.Append("entry\n"));
  file.Close();
  EXPECT_EQ(dir.Read("pics/j"), "entry\n");
  EXPECT_EQ(outside.Read("precious"), "keep me");
}

TEST_F(FolderHandleTest, OnlyPlainFilesOfOurOwnGoAsOursAndLinksGoWithoutTheirTargets) {
  WorkFile work;
  std::wstring reason;
  ASSERT_EQ(folder.CreateExclusive(L"a.__t", work, &reason), CreateOutcome::kCreated);
  work.Close();
  fs::create_hard_link(In("a.__t"), outside / "second name");
  EXPECT_FALSE(folder.Remove(L"a.__t", RemoveRule::kOwnFile));  // two links: not ours alone
  fs::remove(outside / "second name");
  EXPECT_TRUE(folder.Remove(L"a.__t", RemoveRule::kOwnFile));
  fs::create_symlink(outside / "precious", In("c.jpg"));
  EXPECT_EQ(folder.CreateExclusive(L"c.jpg", work, &reason), CreateOutcome::kTaken);
  EXPECT_EQ(folder.Look(L"c.jpg").kind, EntryKind::kOther);
  EXPECT_FALSE(folder.Remove(L"c.jpg", RemoveRule::kOwnFile));
  EXPECT_TRUE(folder.Remove(L"c.jpg", RemoveRule::kAnyFile));
  EXPECT_EQ(outside.Read("precious"), "keep me");
  fs::create_directories(In("d"));
  EXPECT_FALSE(folder.Remove(L"d", RemoveRule::kAnyFile));  // never a folder
}

TEST_F(FolderHandleTest, ChangesGoToTheFolderOpenedWhenItsPathIsRenamedOrSwapped) {
  fs::rename(dir / "pics", dir / "moved");
  fs::create_symlink(outside.path(), dir / "pics");  // the path names another folder now
  EXPECT_FALSE(folder.StillAt(dir / "pics"));
  WorkFile work;
  std::wstring reason;
  ASSERT_EQ(folder.CreateExclusive(L"n.jpg", work, &reason), CreateOutcome::kCreated);
  work.Close();
  EXPECT_TRUE(fs::exists(dir / "moved" / "n.jpg"));
  EXPECT_FALSE(fs::exists(outside / "n.jpg"));
  EXPECT_TRUE(folder.StillAt(dir / "moved"));
}

// A full disk can take part of an entry: what it took is cut off again, so that the next
// entry never continues the piece.
TEST_F(FolderHandleTest, AnAppendCutShortLeavesNothingOfItBehind) {
  AppendFile file;
  std::wstring reason;
  ASSERT_TRUE(folder.OpenOwnForAppend(L"j", file, &reason));
  ASSERT_TRUE(file.Append("first entry\n"));
  bool partial = true;
  {
    ScopedFileSizeLimit disk(20);  // room for 8 of the next 16 bytes
    EXPECT_FALSE(file.Append("second entry...\n", &partial));
  }
  EXPECT_FALSE(partial);
  EXPECT_EQ(dir.Read("pics/j"), "first entry\n");
  EXPECT_TRUE(file.Append("third entry\n"));
  file.Close();
  EXPECT_EQ(dir.Read("pics/j"), "first entry\nthird entry\n");
}

}  // namespace
}  // namespace orvella::test
