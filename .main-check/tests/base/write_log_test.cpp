// The diagnostic log and the checked formatter under it.
#include "base/write_log.h"

#include <gtest/gtest.h>

#include "base/text_format.h"
#include "tests/support/fake_host.h"

namespace orvella::test {
namespace {

class WriteLogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLogCallback(FakeHost::callback()); }
  void TearDown() override { SetLogCallback(nullptr); }
  FakeHost host;
};

TEST_F(WriteLogTest, PlainFormatPassesUnchangedWithTheSource) {
  WriteLog(L"Download complete");
  ASSERT_EQ(host.logs().size(), 1u);
  EXPECT_EQ(host.logs()[0], L"Download complete");
  EXPECT_EQ(host.sources()[0], L"[Orvella Plugin]");
}

TEST_F(WriteLogTest, PercentSignsInArgumentsAreNotReinterpreted) {
  WriteLog(L"QueryFeed: %s", std::wstring(L"http://h/a?x=%d%s%n&y=100%"));
  WriteLog(L"Refresh %d: lastTm=%d, retries=%d", 3, 4000000000u, -1);
  WriteLog(L"100%% of %s", L"files");
  const auto logs = host.logs();
  ASSERT_EQ(logs.size(), 3u);
  EXPECT_EQ(logs[0], L"QueryFeed: http://h/a?x=%d%s%n&y=100%");
  EXPECT_EQ(logs[1], L"Refresh 3: lastTm=-294967296, retries=-1");  // 32-bit signed, as logged
  EXPECT_EQ(logs[2], L"100% of files");
}

TEST_F(WriteLogTest, LongLinesAreCutAt2047Characters) {
  const std::wstring big(5000, L'a');
  WriteLog(L"File already exits: %s", big);
  ASSERT_EQ(host.logs().size(), 1u);
  const std::wstring line = host.logs()[0];
  ASSERT_EQ(line.size(), 2047u);
  EXPECT_EQ(line.substr(0, 20), L"File already exits: ");
  EXPECT_EQ(line.back(), L'a');
  // Exactly at the limit nothing is lost.
  host.ClearLogs();
  WriteLog(L"%s", std::wstring(2047, L'b'));
  EXPECT_EQ(host.logs()[0].size(), 2047u);
}

TEST_F(WriteLogTest, NullTextAndExtremeNumbers) {
  const wchar_t* none = nullptr;
  WriteLog(L"[%s] %d %d", none, INT32_MIN, INT32_MAX);
  EXPECT_EQ(host.logs()[0], L"[] -2147483648 2147483647");
  static constexpr wchar_t kArray[] = L"array";
  WriteLog(L"%s", kArray);
  EXPECT_EQ(host.logs()[1], L"array");
}

TEST(WriteLogDropped, NothingHappensWithoutACallback) {
  FakeHost host;
  SetLogCallback(nullptr);
  WriteLog(L"lost %d", 1);
  EXPECT_TRUE(host.logs().empty());
}

TEST(TextFormat, FormatBuildsUnlimitedText) {
  const std::wstring tags(3000, L'x');
  const std::wstring url =
      Format(L"%s?client=%s&limit=%d", std::wstring(L"http://h/api"), L"K", 20);
  EXPECT_EQ(url, L"http://h/api?client=K&limit=20");
  EXPECT_EQ(Format(L"&keyword=%s", tags).size(), 3009u);
}

TEST(TextFormat, FormatIntoAlwaysTerminates) {
  wchar_t small[6];
  const FormatArg args[] = {MakeFormatArg(123456)};
  EXPECT_EQ(FormatInto(small, 6, L"n=%d", args, 1), 5u);
  EXPECT_STREQ(small, L"n=123");
}

}  // namespace
}  // namespace orvella::test
