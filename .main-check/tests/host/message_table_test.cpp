// The message table through the real module, loaded with dlopen by a test host.
#include <gtest/gtest.h>

#include <cwchar>

#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

class MessageTable : public ::testing::Test {
 protected:
  void SetUp() override { module.Send(3, FakeHost::callbackArg()); }
  ScopedConfigHome home;
  FakeHost host;
  LoadedModule module;
};

TEST_F(MessageTable, FixedAnswersAndUnknownCodes) {
  EXPECT_EQ(module.Send(1), 256);
  EXPECT_EQ(module.Send(3, FakeHost::callbackArg()), 1);
  for (uintptr_t code : {0u, 4u, 11u, 12u, 27u, 29u, 39u, 41u, 1000u}) {
    EXPECT_EQ(module.Send(code, 1, 1), 0) << code;
  }
  EXPECT_EQ(module.Send(~uintptr_t{0}, 1, 1), 0);
  // A code equal to a known one in its low 32 bits is still unknown.
  EXPECT_EQ(module.Send((uintptr_t{1} << 32) | 1), 0);
  // None of them touched the settings.
  EXPECT_EQ(module.Send(40), 1);
  EXPECT_EQ(module.Send(8), 0);
  EXPECT_TRUE(host.calls().empty());
}

TEST_F(MessageTable, VersionReportUsesTheBuildVersion) {
  wchar_t buffer[64];
  std::wmemset(buffer, L'#', 64);
  EXPECT_EQ(module.Send(2, reinterpret_cast<uintptr_t>(buffer)), 1);
  EXPECT_STREQ(buffer, L"Orvella v1.0.0");
}

TEST_F(MessageTable, LoadReadsEveryKeyInOrderWithItsDefault) {
  host.SetInt(L"nFeeds", 2);
  host.SetInt(L"Feed1_Type", 2);
  ASSERT_EQ(module.Send(7), 1);
  const auto calls = host.calls();
  const std::vector<std::wstring> keys = {
      L"Enabled",   L"tmUpdate",   L"ImgFolder",  L"nFeeds",     L"Feed0_Type", L"Feed0_Tags",
      L"Feed0_Flg", L"Feed0_MaxP", L"Feed1_Type", L"Feed1_Tags", L"Feed1_Flg",  L"Feed1_MaxP"};
  ASSERT_EQ(calls.size(), keys.size());
  const std::vector<int32_t> intDefaults = {0, 1440, 0, 0, 0, 0, 0, 20, 0, 0, 0, 20};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(calls[i].op, 6u);
    EXPECT_EQ(calls[i].key, keys[i]);
    const bool isString = keys[i] == L"ImgFolder" || keys[i].find(L"_Tags") != std::wstring::npos;
    EXPECT_EQ(calls[i].kind, isString ? 0 : 1) << i;
    if (isString) {
      EXPECT_EQ(calls[i].capacity, 1023);
      EXPECT_EQ(calls[i].text, L"");
    } else {
      EXPECT_EQ(calls[i].capacity, 0);
      EXPECT_EQ(calls[i].number, intDefaults[i]) << keys[i];
    }
  }
}

TEST_F(MessageTable, SaveWritesEveryKeyInOrder) {
  host.SetInt(L"Enabled", 1);
  host.SetInt(L"tmUpdate", 90);
  host.SetString(L"ImgFolder", L"/pics");
  host.SetInt(L"nFeeds", 1);
  host.SetInt(L"Feed0_Type", 2);
  host.SetString(L"Feed0_Tags", L"sea sky");
  host.SetInt(L"Feed0_Flg", 0x10001);
  host.SetInt(L"Feed0_MaxP", 7);
  module.Send(7);
  host.ClearCalls();
  ASSERT_EQ(module.Send(6), 1);
  const auto calls = host.calls();
  const std::vector<std::wstring> keys = {L"Enabled",   L"tmUpdate",   L"ImgFolder",
                                          L"nFeeds",    L"Feed0_Type", L"Feed0_Tags",
                                          L"Feed0_Flg", L"Feed0_MaxP"};
  ASSERT_EQ(calls.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(calls[i].op, 5u);
    EXPECT_EQ(calls[i].key, keys[i]);
  }
  EXPECT_EQ(calls[1].number, 90);
  EXPECT_EQ(calls[2].text, L"/pics");
  EXPECT_EQ(calls[5].text, L"sea sky");
  EXPECT_EQ(calls[6].number, 0x10001);  // the whole flag word survives a round trip
  EXPECT_EQ(calls[7].number, 7);
}

TEST_F(MessageTable, EmptyProfileLoadsTheDefaults) {
  module.Send(7);
  module.Send(6);
  EXPECT_EQ(host.Int(L"Enabled"), 0);
  EXPECT_EQ(host.Int(L"tmUpdate"), 1440);
  EXPECT_EQ(host.String(L"ImgFolder"), L"");
  EXPECT_EQ(host.Int(L"nFeeds"), 0);
  EXPECT_EQ(module.Send(8), 0);
}

TEST_F(MessageTable, LongFolderIsCutAt1023Characters) {
  host.SetString(L"ImgFolder", std::wstring(1500, L'x'));
  module.Send(7);
  module.Send(6);
  EXPECT_EQ(host.String(L"ImgFolder"), std::wstring(1023, L'x'));
}

TEST_F(MessageTable, NegativeFeedCountLoadsAsNoFeeds) {
  host.SetInt(L"nFeeds", -3);
  EXPECT_EQ(module.Send(7), 1);
  module.Send(6);
  EXPECT_EQ(host.Int(L"nFeeds"), 0);
}

TEST_F(MessageTable, FlavourMessage) {
  EXPECT_EQ(module.Send(28, 1), 1);
  EXPECT_EQ(module.Send(28, 0), -1);
  EXPECT_EQ(module.Send(28, 2), -1);
  // Only the exact value 1 selects the Kavex names; a large value is not 1 either.
  EXPECT_EQ(module.Send(28, (uintptr_t{1} << 32) | 1), -1);
}

TEST_F(MessageTable, EnableMessage) {
  EXPECT_EQ(module.Send(40, 0, 1), 1);  // a = 0 changes nothing
  EXPECT_EQ(module.Send(40, 1, 1), 2);
  EXPECT_EQ(module.Send(40, 0, 0), 2);
  EXPECT_EQ(module.Send(40, 1, 0), 1);
  EXPECT_EQ(module.Send(40, 1, 5), 6);  // any value is stored
  EXPECT_EQ(module.Send(8), 0);         // and the settings do not count as changed
  module.Send(40, 1, 1);
  module.Send(6);
  EXPECT_EQ(host.Int(L"Enabled"), 1);
}

TEST_F(MessageTable, LoadAfterEnableTakesTheProfileValue) {
  host.SetInt(L"Enabled", 0);
  module.Send(40, 1, 1);
  module.Send(7);
  EXPECT_EQ(module.Send(40), 1);
}

TEST(MessageTableWithoutCallback, LoadAndLogBeforeRegistrationAreHarmless) {
  ScopedConfigHome home;
  LoadedModule module;
  EXPECT_EQ(module.Send(7), 1);  // defaults, nothing called
  EXPECT_EQ(module.Send(40), 1);
  EXPECT_EQ(module.Send(6), 1);
}

}  // namespace
}  // namespace orvella::test
