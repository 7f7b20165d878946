// The settings dialog's model driven through a scripted view: load, save with its checks
// in order, enabling rules, status line, sign-in flow, folder chooser and help.
#include "ui/orvella_dlg.h"

#include <gtest/gtest.h>

#include "base/path_text.h"
#include "resources/string_table.h"
#include "system/module_file.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

const std::wstring kAuthenticatedAda = L"Orvella Plugin is currently authenticated\nAda";

// What one press of OK led to.
struct Attempt {
  std::vector<ShownMessage> messages;
  int selected = 0;
  bool closed = false;
};

class OrvellaDlgTest : public ::testing::Test {
 protected:
  OrvellaDlgTest() : dialog(platform, authorizer, 0x4242) {
    dialog.Enabled = 1;
    dialog.ImgFolder = FromFsPath(folder.path());
    dialog.tmUpdate = 1440;
  }

  /// Runs the dialog with `script` as the user; `nested` plays the dialogs it opens.
  int Run(ScriptedPlatform::Script script, std::vector<ScriptedPlatform::Script> nested = {}) {
    platform.scripts.push_back(std::move(script));
    for (auto& inner : nested) platform.scripts.push_back(std::move(inner));
    return dialog.DoModal();
  }
  /// Opens the dialog, edits, presses OK once (message boxes answered by `answers`).
  Attempt PressOk(const std::function<void(ScriptedView&)>& edit, std::deque<int> answers = {}) {
    Attempt attempt;
    Run([&](ScriptedView& v) {
      edit(v);
      v.answers = answers;
      v.Click(kIdOk);
      attempt = {v.messages(), v.selected(), v.ended()};
      if (!v.ended()) v.Click(kIdCancel);
    });
    return attempt;
  }

  TempDir folder;
  ScriptedPlatform platform;
  ScriptedAuthorizer authorizer;
  COrvellaDlg dialog;
};

TEST_F(OrvellaDlgTest, LoadShowsStoredValues) {
  dialog.tmUpdate = -90;  // truncating division: -1 h -30 min
  for (const auto& [type, max] : {std::pair{1, 5}, {7, 9}, {1, 6}, {2, 11}, {1, 7}}) {
    dialog.feeds.Add(COrvellaFeed(type, max, L"t" + std::to_wstring(max)));
  }
  dialog.feeds.Add(COrvellaFeed(2, 99, L"sixth feed: not shown"));
  dialog.user = L"Ada";  // a name without a token is not signed in
  Run([](ScriptedView& v) {
    EXPECT_EQ(v.Text(kIdcHours), L"-1");
    EXPECT_EQ(v.Text(kIdcMinutes), L"-30");
    EXPECT_EQ(v.Text(kIdcWallpapersMax), L"7");  // the last type-1 feed wins
    EXPECT_EQ(v.Text(kIdcWallpapersTags), L"t7");
    EXPECT_EQ(v.Text(kIdcClocksMax), L"11");
    EXPECT_TRUE(v.Checked(kIdcEnabled) && v.Checked(kIdcClocks));
    EXPECT_EQ(v.Text(kIdcStatus), kTextNotAuthenticated);
    v.Click(kIdCancel);
  });
  dialog.feeds.RemoveAll();
  dialog.Enabled = 2;  // kept, shown unchecked
  dialog.token = L"t";
  Run([](ScriptedView& v) {
    EXPECT_FALSE(v.Checked(kIdcEnabled) || v.Checked(kIdcClocks));
    EXPECT_EQ(v.Text(kIdcClocksMax), L"20");
    EXPECT_EQ(v.Text(kIdcStatus), kAuthenticatedAda);
    v.Click(kIdCancel);
  });
  EXPECT_EQ(dialog.Enabled, 2);
  dialog.Enabled = 7;  // outside 0..2: reset
  Run([](ScriptedView& v) { v.Click(kIdCancel); });
  EXPECT_EQ(dialog.Enabled, 0);
}

TEST_F(OrvellaDlgTest, EnablingRulesFollowTheThreeCheckBoxes) {
  dialog.feeds.Add(COrvellaFeed(1, 5, L""));
  Run([](ScriptedView& v) {
    EXPECT_TRUE(v.Enabled(kIdcWallpapersMax));
    EXPECT_FALSE(v.Enabled(kIdcClocksMax) || v.Enabled(kIdcClocksTagsLabel));
    v.Click(kIdcClocks);
    EXPECT_TRUE(v.Enabled(kIdcClocksTags));
    v.Click(kIdcEnabled);
    for (int id : {kIdcFolder, kIdcBrowse, kIdcHours, kIdcMinutesLabel, kIdcAuthorize,
                   kIdcWallpapers, kIdcClocks, kIdcWallpapersMax, kIdcClocksTags}) {
      EXPECT_FALSE(v.Enabled(id)) << id;
    }
    EXPECT_TRUE(v.Enabled(kIdOk) && v.Enabled(kIdcHelp) && v.Enabled(kIdcStatus));
    v.Click(kIdcEnabled);
    v.Click(kIdcWallpapers);  // only its own group follows
    EXPECT_FALSE(v.Enabled(kIdcWallpapersTags));
    EXPECT_TRUE(v.Enabled(kIdcClocksTags));
    v.Click(kIdCancel);
  });
}

TEST_F(OrvellaDlgTest, SaveStepStopsAtFirstFaultAndSelectsItsField) {
  const auto type = [](int id, std::wstring text) {
    return [=](ScriptedView& v) { v.Type(id, text); };
  };
  for (const wchar_t* text : {L"abc", L"", L"- 5"}) {
    const Attempt a = PressOk(type(kIdcMinutes, text));
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].text, L"Enter an integer.");
    EXPECT_EQ(a.selected, kIdcMinutes);
  }
  EXPECT_EQ(PressOk(type(kIdcHours, L"x1")).selected, kIdcHours);

  // Both maxima are checked even while their type is unchecked.
  Attempt a = PressOk(type(kIdcWallpapersMax, L"0"));
  ASSERT_EQ(a.messages.size(), 1u);
  EXPECT_EQ(a.messages[0].text, L"Enter an integer between 1 and 999999.");
  EXPECT_EQ(a.messages[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(a.selected, kIdcWallpapersMax);
  EXPECT_EQ(PressOk(type(kIdcClocksMax, L"1000000")).selected, kIdcClocksMax);

  // 71582789 h are 2^32 + 44 min: 32-bit arithmetic would take 71582789:16 for 60 min.
  a = PressOk([](ScriptedView& v) {
    v.Type(kIdcHours, L"71582789");
    v.Type(kIdcMinutes, L"16");
  });
  ASSERT_EQ(a.messages.size(), 1u);
  EXPECT_EQ(a.messages[0].text, L"Enter an integer between 0 and 9999999.");
  EXPECT_EQ(a.selected, kIdcHours);
  EXPECT_EQ(PressOk(type(kIdcMinutes, L"-1441")).selected, kIdcHours);

  // A short interval asks; Cancel stays in the dialog on the clocks tags.
  const auto zero = [](ScriptedView& v) {
    v.Type(kIdcHours, L"0");
    v.Type(kIdcMinutes, L"0");
  };
  a = PressOk(zero, {kResultCancel});
  ASSERT_EQ(a.messages.size(), 1u);
  EXPECT_EQ(a.messages[0].text, LoadStringById(kIdsShortInterval));
  EXPECT_EQ(a.messages[0].buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(a.selected, kIdcClocksTags);
  EXPECT_FALSE(a.closed);
  EXPECT_TRUE(PressOk(zero, {kResultOk}).closed);
  EXPECT_EQ(dialog.tmUpdate, 0);
  dialog.tmUpdate = 1440;

  // The folder comes last, and is checked while the plug-in is disabled too.
  a = PressOk([](ScriptedView& v) {
    v.Click(kIdcEnabled);
    v.Type(kIdcFolder, L"");
  });
  ASSERT_EQ(a.messages.size(), 1u);
  EXPECT_EQ(a.messages[0].text, LoadStringById(kIdsFolderEmpty));
  EXPECT_EQ(a.selected, kIdcFolder);
  const std::wstring missing = FromFsPath(folder / "missing");
  a = PressOk(type(kIdcFolder, missing));
  ASSERT_EQ(a.messages.size(), 1u);
  EXPECT_EQ(a.messages[0].text, LoadStringById(kIdsFolderMissing));
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));  // never created
  EXPECT_EQ(dialog.ImgFolder, missing);  // what was read before the failure stays
  const std::wstring file = FromFsPath(folder.Write("plain.txt", "x"));
  EXPECT_TRUE(PressOk(type(kIdcFolder, file)).closed);  // any existing object passes

  // Trailing text is ignored: 0 h and 90abc min are 90 min.
  EXPECT_TRUE(PressOk([](ScriptedView& v) {
                v.Type(kIdcHours, L" 0");
                v.Type(kIdcMinutes, L"90abc");
              }).closed);
  EXPECT_EQ(dialog.tmUpdate, 90);
}

TEST_F(OrvellaDlgTest, OkRebuildsFeedArrayFromTheTwoTypes) {
  for (int i = 0; i < 3; ++i) dialog.feeds.Add(COrvellaFeed(1, 10 + i, L"w"));
  dialog.feeds.Add(COrvellaFeed(2, 4, L"c"));
  dialog.feeds.Add(COrvellaFeed(9, 4, L"unknown type"));
  dialog.feeds[3].Flg = 0;
  dialog.feeds[3].lastTm = 77;
  dialog.feeds[3].items.push_back({L"n", L"f", L"u"});
  EXPECT_TRUE(PressOk([](ScriptedView& v) { v.Type(kIdcWallpapersTags, L" sea "); }).closed);
  ASSERT_EQ(dialog.feeds.GetSize(), 2);
  EXPECT_EQ(dialog.feeds[0].Type, 1);
  EXPECT_EQ(dialog.feeds[0].MaxP, 12);
  EXPECT_EQ(dialog.feeds[0].Tags, L" sea ");
  EXPECT_EQ(dialog.feeds[1].Type, 2);
  EXPECT_EQ(dialog.feeds[1].Flg, kFeedEnabled);
  EXPECT_EQ(dialog.feeds[1].lastTm, 0u);
  EXPECT_TRUE(dialog.feeds[1].items.empty());

  const Attempt none = PressOk([](ScriptedView& v) {
    v.Click(kIdcWallpapers);
    v.Click(kIdcClocks);
  });
  EXPECT_TRUE(none.closed && none.messages.empty());
  EXPECT_TRUE(dialog.feeds.IsEmpty());
}

TEST_F(OrvellaDlgTest, SignInFlowAsksBeforeForgettingAndForgetsAtOnce) {
  // Without a token the sign-in dialog opens at once, owned by no explicit window.
  Run(
      [](ScriptedView& v) {
        v.Click(kIdcAuthorize);
        EXPECT_TRUE(v.messages().empty());
        EXPECT_EQ(v.Text(kIdcStatus), kAuthenticatedAda);
        v.Click(kIdCancel);
      },
      {[](ScriptedView& v) { v.Click(kIdOk); }});
  EXPECT_EQ(dialog.token, L"tok-1");  // the dialog's own copy; the caller decides
  EXPECT_EQ(platform.owners, (std::vector<uintptr_t>{0x4242, 0}));

  Run([](ScriptedView& v) {
    v.answers = {kResultNo};
    v.Click(kIdcAuthorize);
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsForgetAccount));
    EXPECT_EQ(v.messages()[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(v.Text(kIdcStatus), kAuthenticatedAda);
    v.Click(kIdCancel);
  });
  EXPECT_EQ(platform.owners.size(), 3u);  // No opened nothing
  EXPECT_EQ(dialog.token, L"tok-1");

  Run(
      [](ScriptedView& v) {
        v.answers = {kResultYes};
        v.Click(kIdcAuthorize);
        EXPECT_EQ(v.Text(kIdcStatus), kTextNotAuthenticated);
        v.Click(kIdCancel);
      },
      {[](ScriptedView& v) { v.Click(kIdCancel); }});
  EXPECT_EQ(dialog.token, L"");
  EXPECT_EQ(dialog.user, L"");

  authorizer.token = L"";  // a success without a token still reads as not signed in
  Run(
      [](ScriptedView& v) {
        v.Click(kIdcAuthorize);
        EXPECT_EQ(v.Text(kIdcStatus), kTextNotAuthenticated);
        v.Click(kIdCancel);
      },
      {[](ScriptedView& v) { v.Click(kIdOk); }});
}

TEST_F(OrvellaDlgTest, FolderButtonAndHelp) {
  const std::wstring chosen = FromFsPath(folder / "pick");
  platform.browseAnswer = chosen;
  Run([&](ScriptedView& v) {
    v.Click(kIdcBrowse);
    EXPECT_EQ(v.Text(kIdcFolder), chosen + kPathSeparator);
    platform.browseAnswer.clear();  // Cancel leaves the field alone
    v.Type(kIdcFolder, L"nowhere");
    v.Click(kIdcBrowse);
    EXPECT_EQ(v.Text(kIdcFolder), L"nowhere");
    v.Click(kIdcHelp);
    v.Click(kIdCancel);
  });
  ASSERT_EQ(platform.browses.size(), 2u);
  EXPECT_EQ(platform.browses[0].title, L"Select Folder");
  EXPECT_EQ(platform.browses[0].startFolder, FromFsPath(folder.path()));
  EXPECT_EQ(platform.browses[0].owner, 0u);
  EXPECT_EQ(platform.browses[1].startFolder, FromFsPath(std::filesystem::current_path()));
  const std::filesystem::path module = FsPath(ModuleFilePath());
  EXPECT_EQ(platform.helpOpened,
            std::vector<std::wstring>{FromFsPath(module.parent_path() / "Orvella.chm")});
}

}  // namespace
}  // namespace orvella::test
