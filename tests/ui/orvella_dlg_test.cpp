// The settings dialog's model driven through a scripted view: load, save with its checks
// in order, enabling rules, status line, sign-in flow, folder chooser and help.
#include "ui/orvella_dlg.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/module_file.h"
#include "ui/path_text.h"

namespace orvella::test {
namespace {

const std::wstring kAuthenticatedAda = L"Orvella Plugin is currently authenticated\nAda";

class OrvellaDlgTest : public ::testing::Test {
 protected:
  OrvellaDlgTest() : dialog(platform, authorizer, 0x4242) {
    dialog.Enabled = 1;
    dialog.ImgFolder = FromFsPath(folder.path());
    dialog.tmUpdate = 1440;
  }

  /// Runs the dialog with `script` as the user; returns the modal result.
  /// `nested` plays the user in the dialogs the settings dialog opens, in order.
  int Run(ScriptedPlatform::Script script, std::vector<ScriptedPlatform::Script> nested = {}) {
    platform.scripts.push_back(std::move(script));
    for (auto& inner : nested) platform.scripts.push_back(std::move(inner));
    return dialog.DoModal();
  }
  /// Runs the dialog, presses OK once and hands the view to `check` before closing.
  void OkOnce(const std::function<void(ScriptedView&)>& edit,
              const std::function<void(ScriptedView&)>& check) {
    Run([&](ScriptedView& v) {
      edit(v);
      v.Click(kIdOk);
      check(v);
      if (!v.ended()) v.Click(kIdCancel);
    });
  }

  TempDir folder;
  ScriptedPlatform platform;
  ScriptedAuthorizer authorizer;
  COrvellaDlg dialog;
};

TEST_F(OrvellaDlgTest, LoadShowsIntervalFeedsAndFlagAsStored) {
  dialog.tmUpdate = 90;
  dialog.feeds.Add(COrvellaFeed(1, 5, L"a"));
  dialog.feeds.Add(COrvellaFeed(7, 9, L"other type"));
  dialog.feeds.Add(COrvellaFeed(1, 6, L"b"));
  dialog.feeds.Add(COrvellaFeed(2, 11, L"clock"));
  dialog.feeds.Add(COrvellaFeed(1, 7, L"c"));
  Run([](ScriptedView& v) {
    EXPECT_EQ(v.Text(kIdcHours), L"1");
    EXPECT_EQ(v.Text(kIdcMinutes), L"30");
    EXPECT_TRUE(v.Checked(kIdcWallpapers));
    EXPECT_EQ(v.Text(kIdcWallpapersMax), L"7");  // the last type-1 feed wins
    EXPECT_EQ(v.Text(kIdcWallpapersTags), L"c");
    EXPECT_TRUE(v.Checked(kIdcClocks));
    EXPECT_EQ(v.Text(kIdcClocksMax), L"11");
    EXPECT_TRUE(v.Checked(kIdcEnabled));
    v.Click(kIdCancel);
  });

  // Truncating division; only the first five feeds count; flag 2 is kept but unchecked,
  // anything outside 0..2 is reset to 0.
  dialog.tmUpdate = -90;
  dialog.feeds.RemoveAll();
  for (int i = 0; i < 5; ++i) dialog.feeds.Add(COrvellaFeed(1, 3, L"w"));
  dialog.feeds.Add(COrvellaFeed(2, 9, L"sixth"));
  dialog.Enabled = 2;
  Run([](ScriptedView& v) {
    EXPECT_EQ(v.Text(kIdcHours), L"-1");
    EXPECT_EQ(v.Text(kIdcMinutes), L"-30");
    EXPECT_FALSE(v.Checked(kIdcClocks));
    EXPECT_EQ(v.Text(kIdcClocksMax), L"20");
    EXPECT_EQ(v.Text(kIdcClocksTags), L"");
    EXPECT_FALSE(v.Checked(kIdcEnabled));
    v.Click(kIdCancel);
  });
  EXPECT_EQ(dialog.Enabled, 2);
  dialog.Enabled = 7;
  Run([](ScriptedView& v) { v.Click(kIdCancel); });
  EXPECT_EQ(dialog.Enabled, 0);
}

TEST_F(OrvellaDlgTest, StatusLineNeedsTokenNotJustUserName) {
  dialog.user = L"Ada";
  Run([](ScriptedView& v) {
    EXPECT_EQ(v.Text(kIdcStatus), kTextNotAuthenticated);
    v.Click(kIdCancel);
  });
  dialog.token = L"t";
  Run([](ScriptedView& v) {
    EXPECT_EQ(v.Text(kIdcStatus), kAuthenticatedAda);
    v.Click(kIdCancel);
  });
}

TEST_F(OrvellaDlgTest, EnablingRulesFollowTheThreeCheckBoxes) {
  dialog.feeds.Add(COrvellaFeed(1, 5, L""));
  Run([](ScriptedView& v) {
    EXPECT_TRUE(v.Enabled(kIdcWallpapersMax));
    EXPECT_FALSE(v.Enabled(kIdcClocksMax));
    EXPECT_FALSE(v.Enabled(kIdcClocksTagsLabel));
    v.Click(kIdcClocks);
    EXPECT_TRUE(v.Enabled(kIdcClocksTags));
    v.Click(kIdcEnabled);  // off: everything but OK, Cancel, Help, group and status
    for (int id : {kIdcFolder, kIdcBrowse, kIdcHours, kIdcMinutes, kIdcAuthorize, kIdcWallpapers,
                   kIdcClocks, kIdcWallpapersMax, kIdcClocksTags, kIdcHoursLabel}) {
      EXPECT_FALSE(v.Enabled(id)) << id;
    }
    for (int id :
         std::initializer_list<int>{kIdOk, kIdCancel, kIdcHelp, kIdcMediaGroup, kIdcStatus}) {
      EXPECT_TRUE(v.Enabled(id)) << id;
    }
    v.Click(kIdcEnabled);
    EXPECT_TRUE(v.Enabled(kIdcWallpapersMax));
    v.Click(kIdcWallpapers);  // only the wallpapers group follows
    EXPECT_FALSE(v.Enabled(kIdcWallpapersTags));
    EXPECT_TRUE(v.Enabled(kIdcClocksTags));
    v.Click(kIdCancel);
  });
}

TEST_F(OrvellaDlgTest, IntegerFieldsFailWithoutLeadingNumber) {
  for (const std::wstring text : {L"abc", L"", L"  ", L"- 5"}) {
    OkOnce([&](ScriptedView& v) { v.Type(kIdcMinutes, text); },
           [&](ScriptedView& v) {
             EXPECT_FALSE(v.ended()) << text.size();
             ASSERT_EQ(v.messages().size(), 1u);
             EXPECT_EQ(v.messages()[0].text, L"Enter an integer.");
             EXPECT_EQ(v.messages()[0].buttons, MessageButtons::kOk);
             EXPECT_EQ(v.selected(), kIdcMinutes);
           });
  }
  OkOnce([](ScriptedView& v) { v.Type(kIdcHours, L"x1"); },
         [](ScriptedView& v) { EXPECT_EQ(v.selected(), kIdcHours); });
  // Trailing text is ignored; hours 0 and minutes 90 save as 90.
  Run([](ScriptedView& v) {
    v.Type(kIdcHours, L" 0");
    v.Type(kIdcMinutes, L"90abc");
    v.Click(kIdOk);
  });
  EXPECT_EQ(dialog.tmUpdate, 90);
}

TEST_F(OrvellaDlgTest, MaximaAreCheckedEvenForUnselectedTypes) {
  OkOnce(
      [](ScriptedView& v) {
        ASSERT_FALSE(v.Checked(kIdcWallpapers));
        v.Type(kIdcWallpapersMax, L"0");
      },
      [](ScriptedView& v) {
        ASSERT_EQ(v.messages().size(), 1u);
        EXPECT_EQ(v.messages()[0].text, L"Enter an integer between 1 and 999999.");
        EXPECT_EQ(v.messages()[0].icon, MessageIcon::kExclamation);
        EXPECT_EQ(v.selected(), kIdcWallpapersMax);
      });
  OkOnce([](ScriptedView& v) { v.Type(kIdcClocksMax, L"1000000"); },
         [](ScriptedView& v) {
           EXPECT_EQ(v.selected(), kIdcClocksMax);
           EXPECT_FALSE(v.ended());
         });
}

TEST_F(OrvellaDlgTest, IntervalTotalIsBoundedWithoutWrapping) {
  // 71582789 hours are 2^32 + 44 minutes: 32-bit arithmetic would make that 60.
  OkOnce(
      [](ScriptedView& v) {
        v.Type(kIdcHours, L"71582789");
        v.Type(kIdcMinutes, L"16");
      },
      [](ScriptedView& v) {
        ASSERT_EQ(v.messages().size(), 1u);
        EXPECT_EQ(v.messages()[0].text, L"Enter an integer between 0 and 9999999.");
        EXPECT_EQ(v.selected(), kIdcHours);
      });
  OkOnce(
      [](ScriptedView& v) {
        v.Type(kIdcHours, L"0");
        v.Type(kIdcMinutes, L"-1");
      },
      [](ScriptedView& v) { EXPECT_EQ(v.selected(), kIdcMinutes); });
  // The upper bound itself is accepted.
  Run([](ScriptedView& v) {
    v.Type(kIdcHours, L"166666");
    v.Type(kIdcMinutes, L"39");
    v.Click(kIdOk);
  });
  EXPECT_EQ(dialog.tmUpdate, 9999999);
}

TEST_F(OrvellaDlgTest, ShortIntervalAsksFirstAndCancelKeepsDialogOpen) {
  Run([](ScriptedView& v) {
    v.Type(kIdcHours, L"0");
    v.Type(kIdcMinutes, L"0");
    v.answers = {kResultCancel};
    v.Click(kIdOk);
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsShortInterval));
    EXPECT_EQ(v.messages()[0].buttons, MessageButtons::kOkCancel);
    EXPECT_EQ(v.selected(), kIdcClocksTags);
    EXPECT_FALSE(v.ended());
    v.Click(kIdOk);  // no answer queued: OK
  });
  EXPECT_EQ(dialog.tmUpdate, 0);
}

TEST_F(OrvellaDlgTest, FolderIsCheckedAfterIntervalEvenWhileDisabled) {
  dialog.Enabled = 0;
  OkOnce([](ScriptedView& v) { v.Type(kIdcFolder, L""); },
         [](ScriptedView& v) {
           ASSERT_EQ(v.messages().size(), 1u);
           EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsFolderEmpty));
           EXPECT_EQ(v.selected(), kIdcFolder);
         });
  const std::wstring missing = FromFsPath(folder / "missing");
  OkOnce([&](ScriptedView& v) { v.Type(kIdcFolder, missing); },
         [&](ScriptedView& v) {
           ASSERT_EQ(v.messages().size(), 1u);
           EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsFolderMissing));
           EXPECT_FALSE(std::filesystem::exists(folder / "missing"));  // never created
         });
  // The values read before the failure stay in the dialog.
  EXPECT_EQ(dialog.ImgFolder, missing);
  const std::wstring file = FromFsPath(folder.Write("plain.txt", "x"));
  ASSERT_EQ(Run([&](ScriptedView& v) {
              v.Type(kIdcFolder, file);
              v.Click(kIdOk);
            }),
            kResultOk);
  EXPECT_EQ(dialog.ImgFolder, file);
}

TEST_F(OrvellaDlgTest, OkRebuildsFeedArrayFromTheTwoTypes) {
  for (int i = 0; i < 3; ++i) dialog.feeds.Add(COrvellaFeed(1, 10 + i, L"w"));
  dialog.feeds.Add(COrvellaFeed(2, 4, L"c"));
  dialog.feeds.Add(COrvellaFeed(9, 4, L"unknown type"));
  dialog.feeds[3].Flg = 0;
  dialog.feeds[3].lastTm = 77;
  dialog.feeds[3].items.push_back({L"n", L"f", L"u"});
  ASSERT_EQ(Run([](ScriptedView& v) {
              v.Type(kIdcWallpapersTags, L" sea ");
              v.Click(kIdOk);
            }),
            kResultOk);
  ASSERT_EQ(dialog.feeds.GetSize(), 2);
  EXPECT_EQ(dialog.feeds[0].Type, 1);
  EXPECT_EQ(dialog.feeds[0].MaxP, 12);
  EXPECT_EQ(dialog.feeds[0].Tags, L" sea ");
  EXPECT_EQ(dialog.feeds[1].Type, 2);
  EXPECT_EQ(dialog.feeds[1].MaxP, 4);
  EXPECT_EQ(dialog.feeds[1].Flg, kFeedEnabled);
  EXPECT_EQ(dialog.feeds[1].lastTm, 0u);
  EXPECT_TRUE(dialog.feeds[1].items.empty());

  // Neither type: an empty array, and OK needs no message.
  Run([](ScriptedView& v) {
    v.Click(kIdcWallpapers);
    v.Click(kIdcClocks);
    v.Click(kIdOk);
    EXPECT_TRUE(v.messages().empty());
  });
  EXPECT_TRUE(dialog.feeds.IsEmpty());
}

TEST_F(OrvellaDlgTest, SignInFlowAsksBeforeForgettingAndForgetsAtOnce) {
  // Without a token the sign-in dialog opens directly.
  const auto signIn = [](ScriptedView& v) {
    v.Type(kIdcEmail, L"ada@example.org");
    v.Type(kIdcPassword, L"pw");
    v.Click(kIdOk);
  };
  Run(
      [](ScriptedView& v) {
        v.Click(kIdcAuthorize);
        EXPECT_TRUE(v.messages().empty());
        EXPECT_EQ(v.Text(kIdcStatus), kAuthenticatedAda);
        v.Click(kIdOk);
      },
      {signIn});
  EXPECT_EQ(dialog.token, L"tok-1");
  EXPECT_EQ(dialog.user, L"Ada");
  EXPECT_EQ(platform.owners.back(), 0u);  // the sign-in dialog has no explicit owner

  // No: nothing changes and nothing opens.
  Run([](ScriptedView& v) {
    v.answers = {kResultNo};
    v.Click(kIdcAuthorize);
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsForgetAccount));
    EXPECT_EQ(v.messages()[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(v.Text(kIdcStatus), kAuthenticatedAda);
    v.Click(kIdCancel);
  });
  EXPECT_EQ(authorizer.calls.size(), 1u);
  EXPECT_EQ(dialog.token, L"tok-1");

  // Yes, then Cancel in the sign-in dialog: the account stays forgotten.
  Run(
      [](ScriptedView& v) {
        v.answers = {kResultYes};
        v.Click(kIdcAuthorize);
        EXPECT_EQ(v.Text(kIdcStatus), kTextNotAuthenticated);
        v.Click(kIdOk);
      },
      {[](ScriptedView& v) { v.Click(kIdCancel); }});
  EXPECT_EQ(dialog.token, L"");
  EXPECT_EQ(dialog.user, L"");
}

TEST_F(OrvellaDlgTest, SignInWithEmptyTokenShowsNotAuthenticated) {
  authorizer.token = L"";
  Run(
      [](ScriptedView& v) {
        v.Click(kIdcAuthorize);
        EXPECT_EQ(v.Text(kIdcStatus), kTextNotAuthenticated);
        v.Click(kIdCancel);
      },
      {[](ScriptedView& v) { v.Click(kIdOk); }});
}

TEST_F(OrvellaDlgTest, FolderButtonStartsFromTypedFolderAndAddsSeparator) {
  const std::wstring chosen = FromFsPath(folder / "pick");
  platform.browseAnswer = chosen;
  Run([&](ScriptedView& v) {
    v.Click(kIdcBrowse);
    EXPECT_EQ(v.Text(kIdcFolder), chosen + kPathSeparator);
    platform.browseAnswer.clear();  // Cancel leaves the field alone
    v.Type(kIdcFolder, FromFsPath(folder / "nowhere"));
    v.Click(kIdcBrowse);
    EXPECT_EQ(v.Text(kIdcFolder), FromFsPath(folder / "nowhere"));
    v.Click(kIdCancel);
  });
  ASSERT_EQ(platform.browses.size(), 2u);
  EXPECT_EQ(platform.browses[0].title, L"Select Folder");
  EXPECT_EQ(platform.browses[0].startFolder, FromFsPath(folder.path()));
  EXPECT_EQ(platform.browses[0].owner, 0u);
  // A typed folder that does not exist starts the browser at the current directory.
  EXPECT_EQ(platform.browses[1].startFolder, FromFsPath(std::filesystem::current_path()));
}

TEST_F(OrvellaDlgTest, HelpOpensHelpFileBesideModule) {
  Run([](ScriptedView& v) {
    v.Click(kIdcHelp);
    v.Click(kIdCancel);
  });
  ASSERT_EQ(platform.helpOpened.size(), 1u);
  const std::filesystem::path module = ToFsPath(ModuleFilePath());
  EXPECT_EQ(platform.helpOpened[0], FromFsPath(module.parent_path() / "Orvella.chm"));
  EXPECT_EQ(platform.owners, std::vector<uintptr_t>({0x4242}));
}

}  // namespace
}  // namespace orvella::test
