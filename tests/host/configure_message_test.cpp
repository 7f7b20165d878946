// Message 5: the application's copy-in and copy-back around a scripted dialog, and the
// real module without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/path_text.h"
#include "host/orvella_app.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

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
    host.SetInt(L"Feed0_Flg", 1);
    host.SetInt(L"Feed0_MaxP", 30);
    const auto account = home.path() / "Halvenworks" / "OrvellaPlugin";
    std::filesystem::create_directories(account);
    std::ofstream(account / "TokenRVT") << "tok-9";
    std::ofstream(account / "UserRVT") << "Grace";
    app.HandleMessage(kMsgSetCallback, FakeHost::callbackArg(), 0);
    app.HandleMessage(kMsgLoadSettings, 0, 0);
    app.dialogPlatform = std::make_unique<ScriptedPlatform>();
    platform = static_cast<ScriptedPlatform*>(app.dialogPlatform.get());
  }

  /// Sends message 5; `scripts` play the settings dialog and then the dialogs it opens.
  intptr_t Configure(std::vector<ScriptedPlatform::Script> scripts, uintptr_t owner = 0) {
    for (auto& script : scripts) platform->scripts.push_back(std::move(script));
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
  EXPECT_EQ(Configure({[&](ScriptedView& v) {
                        EXPECT_EQ(v.Text(kIdcFolder), FromFsPath(folder.path()));
                        EXPECT_EQ(v.Text(kIdcMinutes), L"30");
                        EXPECT_TRUE(v.Checked(kIdcClocks));
                        EXPECT_EQ(v.Text(kIdcStatus),
                                  L"Orvella Plugin is currently authenticated\nGrace");
                        v.Click(kIdOk);
                      }},
                      0x5a00001),
            1);
  EXPECT_EQ(platform->owners, std::vector<uintptr_t>({0x5a00001}));
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 1);
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
    v.Click(kIdcWallpapers);
    v.Click(kIdcEnabled);
  };
  const auto cancelSignIn = [](ScriptedView& v) { v.Click(kIdCancel); };
  const auto then = [&](int button) {
    return [=](ScriptedView& v) {
      edit(v);
      v.Click(button);
    };
  };
  EXPECT_EQ(Configure({then(kIdCancel), cancelSignIn}), 0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 0);
  EXPECT_EQ(app.settings.Enabled, 1);
  EXPECT_EQ(app.settings.tmUpdate, 90);
  EXPECT_EQ(app.settings.ImgFolder, FromFsPath(folder.path()));
  EXPECT_EQ(app.engine.feeds.GetSize(), 1);
  EXPECT_EQ(app.engine.token, L"tok-9");

  EXPECT_EQ(Configure({then(kIdOk), cancelSignIn}), 1);
  EXPECT_EQ(app.settings.Enabled, 0);
  EXPECT_EQ(app.settings.tmUpdate, 150);
  EXPECT_EQ(app.settings.ImgFolder, FromFsPath(other.path()));
  EXPECT_EQ(app.engine.feeds.GetSize(), 2);
  EXPECT_EQ(app.engine.token, L"");
  EXPECT_EQ(app.engine.user, L"");

  // A later Cancel keeps message 8's answer.
  EXPECT_EQ(Configure({[](ScriptedView& v) { v.Click(kIdCancel); }}), 0);
  EXPECT_EQ(app.HandleMessage(kMsgSettingsChanged, 0, 0), 1);
}

TEST(ConfigureModule, RealModuleWithoutDisplayLogsAndAnswersZero) {
  const char* display = std::getenv("DISPLAY");
  const std::string oldDisplay = display != nullptr ? display : "";
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ScopedConfigHome home;
  FakeHost host;
  LoadedModule module;
  module.Send(kMsgSetCallback, FakeHost::callbackArg());
  module.Send(kMsgLoadSettings);
  host.ClearLogs();
  EXPECT_EQ(module.Send(kMsgConfigure, 0), 0);
  EXPECT_EQ(module.Send(kMsgConfigure, 0), 0);  // asked again: still no crash
  ASSERT_EQ(host.logs().size(), 2u);
  EXPECT_EQ(host.logs()[0].rfind(L"Configure", 0), 0u);
  EXPECT_EQ(module.Send(kMsgSettingsChanged), 0);
  if (!oldDisplay.empty()) ::setenv("DISPLAY", oldDisplay.c_str(), 1);
}

}  // namespace
}  // namespace orvella::test
