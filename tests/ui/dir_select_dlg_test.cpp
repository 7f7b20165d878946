// The folder chooser's own logic: start folder, result with one separator, the 260 limit.
#include "ui/dir_select_dlg.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

TEST(DirSelectDlg, StartsAtExistingInitialFolderElseCurrentDirectory) {
  TempDir dir;
  const std::wstring current = FromFsPath(std::filesystem::current_path());
  const std::wstring file = FromFsPath(dir.Write("f.txt", "x"));
  EXPECT_EQ(ChooserStartFolder(file.c_str()), file);  // any existing object passes
  EXPECT_EQ(ChooserStartFolder(nullptr), current);
  EXPECT_EQ(ChooserStartFolder(FromFsPath(dir / "missing").c_str()), current);
  // A folder too long for the chooser's buffer counts as missing, even when it exists.
  std::filesystem::path deep = dir.path();
  while (deep.native().size() < kMaxPathChars) deep /= std::string(40, 'd');
  std::filesystem::create_directories(deep);
  EXPECT_EQ(ChooserStartFolder(FromFsPath(deep).c_str()), current);
}

TEST(DirSelectDlg, ResultEndsInOneSeparatorAndIsRefusedWhenItDoesNotFit) {
  ScriptedPlatform platform;
  SECDirSelectDlg chooser(L"Select Folder", nullptr, 0, platform);
  const std::wstring sep(1, kPathSeparator);
  std::wstring path;
  for (const std::wstring& chosen : {sep + L"pics", sep + L"pics" + sep}) {
    platform.browseAnswer = chosen;
    ASSERT_EQ(chooser.DoModal(), kResultOk);
    chooser.GetPath(path);
    EXPECT_EQ(path, sep + L"pics" + sep);
  }
  platform.browseAnswer = sep;  // a root already ends in one
  ASSERT_EQ(chooser.DoModal(), kResultOk);
  chooser.GetPath(path);
  EXPECT_EQ(path, sep);

  platform.browseAnswer = std::wstring(kMaxPathChars - 2, L'a');  // + separator + zero: fits
  ASSERT_EQ(chooser.DoModal(), kResultOk);
  platform.browseAnswer = std::wstring(kMaxPathChars - 1, L'a');  // no room left for the zero
  EXPECT_EQ(chooser.DoModal(), kResultCancel);
  platform.browseAnswer.clear();  // Cancel in the browser
  EXPECT_EQ(chooser.DoModal(), kResultCancel);
  chooser.GetPath(path);
  EXPECT_EQ(path, std::wstring(kMaxPathChars - 2, L'a') + sep);  // unchanged by failures
  EXPECT_EQ(platform.browses.back().title, L"Select Folder");
}

}  // namespace
}  // namespace orvella::test
