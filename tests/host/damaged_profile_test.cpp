// A damaged or careless host profile through the real module: counts, integers and texts
// are taken only as far as the profile's rules go, so a load always ends after a bounded
// number of host calls.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

class DamagedProfile : public ::testing::Test {
 protected:
  void SetUp() override { module.Send(3, FakeHost::callbackArg()); }

  // Loads the profile and saves it again; returns how many feeds the save wrote.
  int32_t FeedsAfterLoad() {
    EXPECT_EQ(module.Send(7), 1);
    reads = 0;
    lastTypeRead.clear();
    for (const ProfileCall& call : host.calls()) {
      if (call.op != 6 || !call.key.ends_with(L"_Type")) continue;
      ++reads;
      lastTypeRead = call.key;
    }
    host.ClearCalls();
    module.Send(6);
    return host.Int(L"nFeeds");
  }

  ScopedConfigHome home;
  FakeHost host;
  LoadedModule module;
  int reads = 0;              // feed type keys the last load read
  std::wstring lastTypeRead;  // the last of them
};

TEST_F(DamagedProfile, FeedCountIsReadUpToAThousand) {
  host.SetString(L"Feed999_Tags", L"last");
  host.SetInt(L"nFeeds", 1000);
  EXPECT_EQ(FeedsAfterLoad(), 1000);
  EXPECT_EQ(reads, 1000);
  EXPECT_EQ(host.CountLogs(L"LoadConfig: "), 0);
  EXPECT_EQ(host.String(L"Feed999_Tags"), L"last");

  for (const int32_t damaged : {1001, INT_MAX}) {
    SCOPED_TRACE(damaged);
    host.ClearLogs();
    host.SetInt(L"nFeeds", damaged);
    EXPECT_EQ(FeedsAfterLoad(), 1000);
    EXPECT_EQ(reads, 1000);  // the load asked for no key beyond the thousandth feed
    EXPECT_EQ(lastTypeRead, L"Feed999_Type");
    EXPECT_EQ(host.logs(),
              std::vector<std::wstring>{L"LoadConfig: nFeeds=" + std::to_wstring(damaged) +
                                        L", only the first 1000 feeds are loaded"});
  }
}

TEST_F(DamagedProfile, NegativeFeedCountsLoadNoFeeds) {
  for (const int32_t damaged : {-1, INT_MIN}) {
    SCOPED_TRACE(damaged);
    host.SetInt(L"nFeeds", damaged);
    EXPECT_EQ(FeedsAfterLoad(), 0);
    EXPECT_EQ(reads, 0);
  }
  EXPECT_EQ(host.CountLogs(L"LoadConfig: "), 0);
}

// The host's answer to an integer read is the low 4 bytes of the 8-byte value field; what
// a host leaves in the high bytes is not part of it.
TEST_F(DamagedProfile, IntegerReadsTakeTheLow32Bits) {
  host.SetRawInt(L"nFeeds", (int64_t{1} << 32) | 2);
  host.SetRawInt(L"Feed0_MaxP", (int64_t{7} << 32) | 0xFFFFFFFF);
  host.SetRawInt(L"Enabled", int64_t{1} << 32);
  EXPECT_EQ(FeedsAfterLoad(), 2);
  EXPECT_EQ(host.Int(L"Feed0_MaxP"), -1);
  EXPECT_EQ(module.Send(40), 1);  // not enabled: its 32-bit value is 0

  host.SetRawInt(L"nFeeds", int64_t{-1} << 31);  // sign-extended INT_MIN
  EXPECT_EQ(FeedsAfterLoad(), 0);
}

// A text read takes at most the 1023 characters of its buffer, even from a host that
// wrote no terminator there or answered with a longer text of its own.
TEST_F(DamagedProfile, TextReadsTakeAtMost1023Characters) {
  host.SetOverfullString(L"ImgFolder", L'f');
  host.SetInt(L"nFeeds", 2);
  host.SetHostOwnedString(L"Feed0_Tags", std::wstring(5000, L't'));
  host.SetHostOwnedString(L"Feed1_Tags", std::wstring(1023, L'u'));
  FeedsAfterLoad();
  EXPECT_EQ(host.String(L"ImgFolder"), std::wstring(1023, L'f'));
  EXPECT_EQ(host.String(L"Feed0_Tags"), std::wstring(1023, L't'));
  EXPECT_EQ(host.String(L"Feed1_Tags"), std::wstring(1023, L'u'));
}

}  // namespace
}  // namespace orvella::test
