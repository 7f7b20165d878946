// Reads of whole files within a limit.
#include "system/safe_files.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

TEST(ReadRegularFile, GivesUpBeyondItsLimitWhetherTheSizeOrTheReadShowsIt) {
  TempDir dir;
  dir.Write("ten", "0123456789");
  std::string bytes;
  EXPECT_EQ(ReadRegularFile(dir / "ten", false, bytes, 10), ReadOutcome::kRead);
  EXPECT_EQ(bytes, "0123456789");
  EXPECT_EQ(ReadRegularFile(dir / "ten", false, bytes, 9), ReadOutcome::kTooLarge);
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace orvella::test
