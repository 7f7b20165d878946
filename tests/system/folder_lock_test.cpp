// The image folder's lock: one holder at a time, released with its holder, never taken
// through what someone else put at its name.
#include "system/folder_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/path_text.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

FolderLock::Outcome Take(FolderLock& lock, const FolderHandle& folder, const wchar_t* name) {
  std::wstring reason;
  return lock.TryAcquire(folder, name, reason);
}

TEST(FolderLock, OneHolderAtATimeAndTheNextOneAfterItsRelease) {
  TempDir dir;
  FolderHandle folder;
  std::wstring reason;
  ASSERT_TRUE(folder.Open(dir.path(), reason));
  FolderLock first;
  FolderLock second;
  ASSERT_EQ(Take(first, folder, L"x.lock"), FolderLock::Outcome::kLocked);
  EXPECT_TRUE(first.Held() && first.StillHeld());
  EXPECT_EQ(Take(second, folder, L"x.lock"), FolderLock::Outcome::kBusy);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_FALSE(std::filesystem::exists(dir / "x.lock"));  // no lock file stays behind
  EXPECT_EQ(Take(second, folder, L"x.lock"), FolderLock::Outcome::kLocked);
  {
    FolderLock scoped;
    EXPECT_EQ(Take(scoped, folder, L"y.lock"), FolderLock::Outcome::kLocked);
  }
  EXPECT_EQ(Take(first, folder, L"y.lock"), FolderLock::Outcome::kLocked);  // released
}

TEST(FolderLock, AFolderAtItsNameIsNoLock) {
  TempDir dir;
  std::filesystem::create_directories(dir / "taken.lock");
  FolderHandle folder;
  std::wstring reason;
  ASSERT_TRUE(folder.Open(dir.path(), reason));
  FolderLock lock;
  EXPECT_EQ(Take(lock, folder, L"taken.lock"), FolderLock::Outcome::kFailed);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.lock"));
  EXPECT_FALSE(lock.Held());
  FolderHandle missing;
  EXPECT_FALSE(missing.Open(dir / "missing", reason));
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace orvella::test
