// The measured size in the user store, and the size a query asks for: the monitors' when
// there are any (stored when it changed), else the one measured before, else 0 x 0.
#include "system/measured_size.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/error_text.h"
#include "base/write_log.h"
#include "system/query_size.h"
#include "system/user_store.h"
#include "tests/support/fake_host.h"
#include "tests/support/store_block.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

DisplayGeometry Found(DisplayRect largest) {
  return {1, largest};
}

class MeasuredSizeTest : public ::testing::Test {
 protected:
  MeasuredSizeTest() { SetLogCallback(FakeHost::callback()); }
  ~MeasuredSizeTest() override { SetLogCallback(nullptr); }
  static bool StoreText(const wchar_t* name, const std::wstring& text) {
    return WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, name, text);
  }
  fs::path Value(const char* name) const {
    return home.path() / "Halvenworks" / "OrvellaPlugin" / name;
  }
  /// A second name for the stored width: a write replaces the value, so the two then
  /// differ.
  void MarkWidth() const {
    fs::remove(Value("seen"));
    fs::create_hard_link(Value("LastWidth"), Value("seen"));
  }
  bool WidthWritten() const { return !fs::equivalent(Value("LastWidth"), Value("seen")); }

  ScopedConfigHome home;
  FakeHost host;
};

TEST_F(MeasuredSizeTest, SidesFromOneTo65535AreStoredAndReadBack) {
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{0, 0}));
  for (const MeasuredSize size : {MeasuredSize{1, 1}, {65535, 65535}, {3840, 2160}}) {
    EXPECT_TRUE(StoreMeasuredSize(size)) << size.width;
    EXPECT_EQ(ReadMeasuredSize(), size) << size.width;
  }
  for (const MeasuredSize size :
       {MeasuredSize{0, 1080}, {1920, 0}, {65536, 1}, {1, 65536}, {-1920, 1080}}) {
    std::wstring reason;
    EXPECT_FALSE(StoreMeasuredSize(size, &reason)) << size.width << "x" << size.height;
    EXPECT_EQ(reason, L"not a size");
    EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{3840, 2160}));  // nothing was written
  }
}

TEST_F(MeasuredSizeTest, StoredTextThatIsNoPlainNumberIsNoSize) {
  ASSERT_TRUE(StoreText(kMeasuredHeightValue, L"1080"));
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{0, 0}));  // the width is missing
  for (const wchar_t* width : {L"", L"+1920", L" 1920", L"1920 ", L"0x780", L"019200", L"65536",
                               L"1e3", L"-1", L"0", L"1920\n"}) {
    ASSERT_TRUE(StoreText(kMeasuredWidthValue, width));
    EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{0, 0})) << width;
  }
  ASSERT_TRUE(StoreText(kMeasuredWidthValue, L"01920"));  // five digits: still a number
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{1920, 1080}));
}

TEST_F(MeasuredSizeTest, MonitorsFoundAreAskedForAndStoredOnlyWhenTheSizeChanges) {
  EXPECT_EQ(QuerySize(Found({-1920, 0, 0, 1080})), (MeasuredSize{1920, 1080}));
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{1920, 1080}));
  // The same size again, elsewhere on the virtual screen: the store is not written.
  MarkWidth();
  EXPECT_EQ(QuerySize(Found({0, 0, 1920, 1080})), (MeasuredSize{1920, 1080}));
  EXPECT_FALSE(WidthWritten());
  // A size that changed in one direction only is stored.
  EXPECT_EQ(QuerySize(Found({0, 0, 1920, 1200})), (MeasuredSize{1920, 1200}));
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{1920, 1200}));
  EXPECT_TRUE(WidthWritten());
  // A monitor too large to store is asked for all the same, and leaves the store alone.
  MarkWidth();
  EXPECT_EQ(QuerySize(Found({0, 0, 70000, 1200})), (MeasuredSize{70000, 1200}));
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{1920, 1200}));
  EXPECT_FALSE(WidthWritten());
  EXPECT_TRUE(host.logs().empty());
}

TEST_F(MeasuredSizeTest, WithoutMonitorsTheSizeMeasuredBeforeIsAskedForElseNone) {
  // No monitor at all, and monitors none of which has an area, are the same.
  for (const DisplayGeometry geometry : {DisplayGeometry{}, Found({5, 5, 5, 900})}) {
    host.ClearLogs();
    EXPECT_EQ(QuerySize(geometry), (MeasuredSize{0, 0}));
    EXPECT_EQ(host.logs(),
              std::vector<std::wstring>{L"EnumerateDisplays: no monitor found and no size "
                                        L"measured before, asking for 0x0"});
  }
  ASSERT_TRUE(StoreMeasuredSize({3840, 2160}));
  host.ClearLogs();
  EXPECT_EQ(QuerySize(DisplayGeometry{}), (MeasuredSize{3840, 2160}));
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"EnumerateDisplays: no monitor found, asking "
                                                   L"for the size measured before, 3840x2160"});
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{3840, 2160}));
}

TEST_F(MeasuredSizeTest, SizeTheStoreCannotKeepIsLoggedAndStillAskedFor) {
  ScopedStoreBlock block(home, StoreBlock::kFileAtFolder);
  ASSERT_TRUE(block.active());
  EXPECT_EQ(QuerySize(Found({0, 0, 1920, 1080})), (MeasuredSize{1920, 1080}));
  const std::vector<std::wstring> logs = host.logs();
  ASSERT_EQ(logs.size(), 1u);
  const std::wstring start = L"EnumerateDisplays: can't store the measured size 1920x1080 (";
  EXPECT_TRUE(logs[0].starts_with(start)) << logs[0];
  EXPECT_TRUE(logs[0].ends_with(L": " + SystemErrorText(block.error()) + L")")) << logs[0];
  block.Lift();
  EXPECT_EQ(QuerySize(Found({0, 0, 1920, 1080})), (MeasuredSize{1920, 1080}));
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{1920, 1080}));  // kept at the next pass
}

}  // namespace
}  // namespace orvella::test
