// The image folder's lock: one holder at a time, released with its holder, never taken
// through what someone else put at its name.
#include "system/folder_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

TEST(FolderLock, OneHolderAtATimeAndTheNextOneAfterItsRelease) {
  TempDir dir;
  const std::filesystem::path file = dir / "x.lock";
  FolderLock first;
  FolderLock second;
  ASSERT_EQ(first.TryAcquire(file), FolderLock::Outcome::kLocked);
  EXPECT_TRUE(first.Held());
  EXPECT_EQ(second.TryAcquire(file), FolderLock::Outcome::kBusy);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_FALSE(std::filesystem::exists(file));  // no lock file stays behind
  EXPECT_EQ(second.TryAcquire(file), FolderLock::Outcome::kLocked);
  {
    FolderLock scoped;
    EXPECT_EQ(scoped.TryAcquire(dir / "y.lock"), FolderLock::Outcome::kLocked);
  }
  EXPECT_EQ(first.TryAcquire(dir / "y.lock"), FolderLock::Outcome::kLocked);  // released
}

TEST(FolderLock, AFolderOrAMissingParentIsNoLock) {
  TempDir dir;
  std::filesystem::create_directories(dir / "taken.lock");
  FolderLock lock;
  EXPECT_EQ(lock.TryAcquire(dir / "taken.lock"), FolderLock::Outcome::kFailed);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.lock"));
  EXPECT_EQ(lock.TryAcquire(dir / "missing" / "x.lock"), FolderLock::Outcome::kFailed);
  EXPECT_FALSE(lock.Held());
}

}  // namespace
}  // namespace orvella::test
