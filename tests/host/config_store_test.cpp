// The account store (files standing in for the registry) and the feed store (host profile).
#include "host/config_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/write_log.h"
#include "host/orvella_app.h"
#include "system/user_store.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

class ConfigStore : public ::testing::Test {
 protected:
  void SetUp() override { app.HandleMessage(kMsgSetCallback, FakeHost::callbackArg(), 0); }
  void TearDown() override { SetLogCallback(nullptr); }
  fs::path AccountFile(const std::string& name) const {
    return home.path() / "Halvenworks" / "OrvellaPlugin" / name;
  }
  ScopedConfigHome home;
  FakeHost host;
  COrvellaApp app;
};

TEST_F(ConfigStore, FlavourSelectsTheAccountPair) {
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", L"rvt-token"));
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserRVT", L"rvt-user"));
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenKVX", L"kvx-token"));
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserKVX", L"kvx-user"));

  app.HandleMessage(kMsgHostFlavour, 1, 0);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.token, L"kvx-token");
  EXPECT_EQ(app.engine.user, L"kvx-user");

  for (uintptr_t other : {0u, 2u, 7u}) {
    app.HandleMessage(kMsgHostFlavour, other, 0);
    app.HandleMessage(kMsgLoadSettings, 0, 0);
    EXPECT_EQ(app.engine.token, L"rvt-token") << other;
    EXPECT_EQ(app.engine.user, L"rvt-user") << other;
  }
}

TEST_F(ConfigStore, SaveUnderAnotherFlavourMovesTheAccount) {
  app.engine.token = L"tok";
  app.engine.user = L"Ann";
  app.HandleMessage(kMsgHostFlavour, 1, 0);
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenKVX"), L"tok");
  EXPECT_FALSE(fs::exists(AccountFile("TokenRVT")));
}

TEST_F(ConfigStore, ValuesLongerThan511CharactersReadAsEmpty) {
  ASSERT_TRUE(
      WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", std::wstring(600, L't')));
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT"), L"");
  ASSERT_TRUE(
      WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", std::wstring(511, L't')));
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT").size(), 511u);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.token.size(), 511u);
  // The limit counts UTF-16 units, as the registry's buffer does: a character beyond
  // U+FFFF takes two.
  const std::wstring emoji = L"\U0001F600";
  std::wstring fits(509, L't');
  fits += emoji;
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", fits));
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT"), fits);
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", L"t" + fits));
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT"), L"");
}

TEST_F(ConfigStore, ValueThatIsNoRegularFileReadsAsEmptyWithoutBlocking) {
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserRVT", L"kept"));
  ASSERT_TRUE(PlantPipe(AccountFile("TokenRVT")));  // a read would wait for a writer for ever
  fs::create_directories(AccountFile("TokenKVX"));
  TempDir elsewhere;
  ASSERT_EQ(PlantLink(AccountFile("UserKVX"), elsewhere.Write("user", "linked")), Planted::kLink);
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT"), L"");
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenKVX"), L"");
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserKVX"), L"linked");
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.token, L"");
  EXPECT_EQ(app.engine.user, L"kept");
}

TEST_F(ConfigStore, NonAsciiTextRoundTripsAsUtf8) {
  const std::wstring name = L"Zo\u00eb \u4e16\u754c \U0001F600";
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserRVT", name));
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserRVT"), name);
  std::ifstream in(AccountFile("UserRVT"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "Zo\xc3\xab \xe4\xb8\x96\xe7\x95\x8c \xf0\x9f\x98\x80");
}

TEST_F(ConfigStore, EmptyTokenIsWrittenAsAnExistingEmptyValue) {
  ASSERT_TRUE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", L"old"));
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  ASSERT_TRUE(fs::exists(AccountFile("TokenRVT")));
  EXPECT_EQ(fs::file_size(AccountFile("TokenRVT")), 0u);
  EXPECT_EQ(fs::file_size(AccountFile("UserRVT")), 0u);
}

TEST_F(ConfigStore, FilesAreOwnerOnlyAndReplacedWholly) {
  app.engine.token = L"secret";
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  struct stat info {};
  ASSERT_EQ(::stat(AccountFile("TokenRVT").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(AccountFile("TokenRVT").parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // No temporary files are left beside the values.
  int entries = 0;
  for ([[maybe_unused]] const auto& e :
       fs::directory_iterator(AccountFile("TokenRVT").parent_path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 2);
}

TEST_F(ConfigStore, UnusableStoreFolderLoadsEmptyAndSavesWithoutCrashing) {
  // The config home is a plain file: no folder can be made below it.
  TempDir other;
  const fs::path blocker = other.Write("not-a-folder", "x");
  ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
  app.engine.token = L"tok";
  EXPECT_FALSE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", L"tok"));
  host.SetInt(L"nFeeds", 1);
  app.HandleMessage(kMsgSaveSettings, 0, 0);  // the profile part still runs
  EXPECT_EQ(host.Int(L"nFeeds"), 0);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.token, L"");
}

TEST_F(ConfigStore, ShrinkingFromTwoFeedsToOneKeepsTheOldKeys) {
  app.engine.feeds.SetSize(2);
  app.engine.feeds[1].Type = 2;
  app.engine.feeds[1].Tags = L"clock";
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  EXPECT_EQ(host.Int(L"nFeeds"), 2);
  app.engine.feeds.SetSize(1);
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  EXPECT_EQ(host.Int(L"nFeeds"), 1);
  EXPECT_EQ(host.Int(L"Feed1_Type"), 2);
  EXPECT_EQ(host.String(L"Feed1_Tags"), L"clock");
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.feeds.GetSize(), 1);
}

TEST_F(ConfigStore, FeedWithMissingKeysLoadsStoredDefaultsNotConstructorDefaults) {
  host.SetInt(L"nFeeds", 3);
  for (int i = 0; i < 2; ++i) {
    const std::wstring n = std::to_wstring(i);
    host.SetInt(L"Feed" + n + L"_Type", 2);
    host.SetString(L"Feed" + n + L"_Tags", L"t" + n);
    host.SetInt(L"Feed" + n + L"_Flg", 1);
    host.SetInt(L"Feed" + n + L"_MaxP", 5);
  }
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  ASSERT_EQ(app.engine.feeds.GetSize(), 3);
  EXPECT_EQ(app.engine.feeds[1].Tags, L"t1");
  const COrvellaFeed& third = app.engine.feeds[2];
  EXPECT_EQ(third.Type, 0);
  EXPECT_EQ(third.Tags, L"");
  EXPECT_EQ(third.Flg, 0u);
  EXPECT_EQ(third.MaxP, 20);
}

TEST_F(ConfigStore, ReloadKeepsRunTimeStateOfSurvivingFeeds) {
  host.SetInt(L"nFeeds", 1);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  app.engine.feeds[0].lastTm = 1234;
  app.engine.feeds[0].items.push_back({L"n", L"f", L"u"});
  host.SetInt(L"Feed0_MaxP", 9);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.feeds[0].lastTm, 1234u);
  EXPECT_EQ(app.engine.feeds[0].items.size(), 1u);
  EXPECT_EQ(app.engine.feeds[0].MaxP, 9);
}

TEST_F(ConfigStore, LoadSetsTheMinimumAgeValuesAndClearsChanged) {
  app.settings.minAgeDays = 4;
  app.settings.minAgeHours = 2;
  app.settingsChanged = 1;
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.settings.minAgeCheck, 1);
  EXPECT_EQ(app.settings.minAgeDays, 0);
  EXPECT_EQ(app.settings.minAgeHours, 0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 0);
  app.settingsChanged = 1;
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 0);
}

TEST(UserStore, KeyPathsCannotLeaveTheStore) {
  ScopedConfigHome home;
  EXPECT_FALSE(WriteRegString(RegRoot::kCurrentUser, L"Software\\..\\..\\etc", L"x", L"y"));
  EXPECT_FALSE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"../escape", L"y"));
  EXPECT_FALSE(WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"..", L"y"));
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"missing"), L"");
}

}  // namespace
}  // namespace orvella::test
