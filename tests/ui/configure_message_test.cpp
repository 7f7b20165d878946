// Message 5: the application's copy-in and copy-back around a scripted dialog, and the
// real module without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "host/orvella_app.h"
#include "resources/string_table.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/path_text.h"

namespace orvella::test {
namespace {

class ConfigureMessage : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetInt(L"Enabled", 1);
    host.SetInt(L"tmUpdate", 90);
    host.SetString(L"ImgFolder", FromFsPath(folder.path()));
    host.SetInt(L"nFeeds", 1);
    host.SetInt(L"Feed0_Type", 2);
    host.SetString(L"Feed0_Tags", L"night");
    host.SetInt(L"Feed0_Flg", 1);
    host.SetInt(L"Feed0_MaxP", 30);
    WriteAccount(L"tok-9", L"Grace");
    app.HandleMessage(kMsgSetCallback, FakeHost::callbackArg(), 0);
    ASSERT_EQ(app.HandleMessage(kMsgLoadSettings, 0, 0), 1);
    auto scripted = std::make_unique<ScriptedPlatform>();
    platform = scripted.get();
    app.dialogPlatform = std::move(scripted);
    host.ClearLogs();
  }

  void WriteAccount(const std::wstring& token, const std::wstring& user) {
    const auto dir = home.path() / "Halvenworks" / "OrvellaPlugin";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "TokenRVT") << std::string(token.begin(), token.end());
    std::ofstream(dir / "UserRVT") << std::string(user.begin(), user.end());
  }

  /// Sends message 5 with `script` playing the user in the settings dialog and `nested`
  /// in the dialogs it opens.
  intptr_t Configure(ScriptedPlatform::Script script, uintptr_t owner = 0,
                     std::vector<ScriptedPlatform::Script> nested = {}) {
    platform->scripts.push_back(std::move(script));
    for (auto& inner : nested) platform->scripts.push_back(std::move(inner));
    return app.HandleMessage(kMsgConfigure, owner, 0);
  }

  ScopedConfigHome home;
  FakeHost host;
  TempDir folder;
  COrvellaApp app;
  ScriptedPlatform* platform = nullptr;
};

TEST_F(ConfigureMessage, OkWithoutEditsCopiesBackAndMarksSettingsChanged) {
  const uint64_t generation = app.engine.feedsGeneration;
  app.engine.feeds[0].lastTm = 1234;
  EXPECT_EQ(Configure(
                [&](ScriptedView& v) {
                  EXPECT_TRUE(v.Checked(kIdcEnabled));
                  EXPECT_EQ(v.Text(kIdcFolder), FromFsPath(folder.path()));
                  EXPECT_EQ(v.Text(kIdcHours), L"1");
                  EXPECT_EQ(v.Text(kIdcMinutes), L"30");
                  EXPECT_TRUE(v.Checked(kIdcClocks));
                  EXPECT_EQ(v.Text(kIdcClocksTags), L"night");
                  EXPECT_EQ(v.Text(kIdcStatus),
                            L"Orvella Plugin is currently authenticated\nGrace");
                  v.Click(kIdOk);
                },
                0x5a00001),
            1);
  EXPECT_EQ(platform->owners, std::vector<uintptr_t>({0x5a00001}));
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 1);
  EXPECT_EQ(app.tmUpdate, 90);
  EXPECT_EQ(app.engine.token, L"tok-9");
  ASSERT_EQ(app.engine.feeds.GetSize(), 1);
  EXPECT_EQ(app.engine.feeds[0].MaxP, 30);
  EXPECT_EQ(app.engine.feeds[0].lastTm, 0u);  // a new feed, due at once
  EXPECT_EQ(app.engine.feedsGeneration, generation + 1);

  app.HandleMessage(kMsgSaveSettings, 0, 0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 0);
}

TEST_F(ConfigureMessage, EditsReachSettingsOnlyThroughOk) {
  TempDir other;
  const auto edit = [&](ScriptedView& v) {
    v.answers = {kResultYes};
    v.Click(kIdcAuthorize);  // forgets the account at once, then cancels the sign-in
    v.Type(kIdcFolder, FromFsPath(other.path()));
    v.Type(kIdcHours, L"2");
    v.Type(kIdcMinutes, L"0");
    v.Click(kIdcWallpapers);
    v.Type(kIdcWallpapersMax, L"5");
    v.Click(kIdcEnabled);
  };
  const auto cancelSignIn = [](ScriptedView& v) { v.Click(kIdCancel); };
  EXPECT_EQ(Configure(
                [&](ScriptedView& v) {
                  edit(v);
                  v.Click(kIdCancel);
                },
                0, {cancelSignIn}),
            0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 0);
  EXPECT_EQ(app.Enabled, 1);
  EXPECT_EQ(app.tmUpdate, 90);
  EXPECT_EQ(app.ImgFolder, FromFsPath(folder.path()));
  EXPECT_EQ(app.engine.feeds.GetSize(), 1);
  EXPECT_EQ(app.engine.token, L"tok-9");

  EXPECT_EQ(Configure(
                [&](ScriptedView& v) {
                  edit(v);
                  v.Click(kIdOk);
                },
                0, {cancelSignIn}),
            1);
  EXPECT_EQ(app.Enabled, 0);
  EXPECT_EQ(app.tmUpdate, 120);
  EXPECT_EQ(app.ImgFolder, FromFsPath(other.path()));
  ASSERT_EQ(app.engine.feeds.GetSize(), 2);
  EXPECT_EQ(app.engine.feeds[0].Type, 1);
  EXPECT_EQ(app.engine.feeds[0].MaxP, 5);
  EXPECT_EQ(app.engine.token, L"");
  EXPECT_EQ(app.engine.user, L"");

  // A later Cancel keeps message 8's answer.
  EXPECT_EQ(Configure([](ScriptedView& v) { v.Click(kIdCancel); }), 0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 1);
}

TEST_F(ConfigureMessage, WithoutDisplayLogsOnceAndChangesNothing) {
  platform->available = false;
  EXPECT_EQ(app.HandleMessage(kMsgConfigure, 0, 0), 0);
  EXPECT_EQ(host.logs().size(), 1u);
  EXPECT_TRUE(platform->owners.empty());
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 0);
}

// Restores an environment variable when the test ends.
class ScopedUnsetEnv {
 public:
  explicit ScopedUnsetEnv(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
    ::unsetenv(name);
  }
  ~ScopedUnsetEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ConfigureModule, RealModuleWithoutDisplayAnswersZero) {
  ScopedUnsetEnv display("DISPLAY");
  ScopedUnsetEnv wayland("WAYLAND_DISPLAY");
  ScopedConfigHome home;
  FakeHost host;
  LoadedModule module;
  module.Send(kMsgSetCallback, FakeHost::callbackArg());
  module.Send(kMsgLoadSettings);
  host.ClearLogs();
  EXPECT_EQ(module.Send(kMsgConfigure, 0), 0);
  EXPECT_EQ(module.Send(kMsgConfigure, 0), 0);  // asked again, still no crash
  const std::vector<std::wstring> logs = host.logs();
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].rfind(L"Configure", 0), 0u) << logs[0];
  EXPECT_EQ(module.Send(kMsgSettingsChanged), 0);
}

}  // namespace
}  // namespace orvella::test
