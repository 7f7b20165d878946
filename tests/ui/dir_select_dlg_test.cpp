// The folder chooser's own logic: start folder, result with one separator, the 260 limit.
#include "ui/dir_select_dlg.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/ui/scripted_dialogs.h"

namespace orvella::test {
namespace {

std::wstring CurrentDirectory() {
  return FromFsPath(std::filesystem::current_path());
}

TEST(DirSelectDlg, StartsAtExistingInitialFolderElseCurrentDirectory) {
  TempDir dir;
  const std::wstring existing = FromFsPath(dir.path());
  EXPECT_EQ(ChooserStartFolder(existing.c_str()), existing);
  const std::wstring file = FromFsPath(dir.Write("f.txt", "x"));
  EXPECT_EQ(ChooserStartFolder(file.c_str()), file);  // any existing object passes
  EXPECT_EQ(ChooserStartFolder(nullptr), CurrentDirectory());
  EXPECT_EQ(ChooserStartFolder(L""), CurrentDirectory());
  const std::wstring missing = FromFsPath(dir / "missing");
  EXPECT_EQ(ChooserStartFolder(missing.c_str()), CurrentDirectory());

  // A folder too long for the chooser's buffer counts as missing, even when it exists.
  std::filesystem::path deep = dir.path();
  while (deep.native().size() < kMaxPathChars) deep /= std::string(40, 'd');
  std::filesystem::create_directories(deep);
  const std::wstring longFolder = FromFsPath(deep);
  EXPECT_EQ(ChooserStartFolder(longFolder.c_str()), CurrentDirectory());
}

TEST(DirSelectDlg, ResultEndsInExactlyOneSeparatorAndMustFit) {
  const std::wstring sep(1, kPathSeparator);
  std::wstring folder = sep + L"pics";
  ASSERT_TRUE(NormalizeChosenFolder(folder));
  EXPECT_EQ(folder, sep + L"pics" + sep);
  ASSERT_TRUE(NormalizeChosenFolder(folder));
  EXPECT_EQ(folder, sep + L"pics" + sep);
  std::wstring root = sep;
  ASSERT_TRUE(NormalizeChosenFolder(root));
  EXPECT_EQ(root, sep);

  std::wstring fits(kMaxPathChars - 2, L'a');  // 258 + separator + terminator = 260
  EXPECT_TRUE(NormalizeChosenFolder(fits));
  EXPECT_EQ(fits.size(), kMaxPathChars - 1);
  std::wstring tooLong(kMaxPathChars - 1, L'a');  // the terminator would not fit
  EXPECT_FALSE(NormalizeChosenFolder(tooLong));
  EXPECT_EQ(tooLong.size(), kMaxPathChars - 1);
  std::wstring empty;
  EXPECT_FALSE(NormalizeChosenFolder(empty));
}

TEST(DirSelectDlg, DoModalReportsOkWithPathOrCancelUnchanged) {
  ScriptedPlatform platform;
  const std::wstring sep(1, kPathSeparator);
  SECDirSelectDlg chooser(L"Select Folder", nullptr, 0, platform);
  platform.browseAnswer = sep + L"srv" + sep + L"pics";
  ASSERT_EQ(chooser.DoModal(), kResultOk);
  std::wstring path;
  chooser.GetPath(path);
  EXPECT_EQ(path, sep + L"srv" + sep + L"pics" + sep);
  EXPECT_EQ(platform.browses.back().title, L"Select Folder");

  platform.browseAnswer = std::wstring(kMaxPathChars - 1, L'x');  // refused, not cut
  EXPECT_EQ(chooser.DoModal(), kResultCancel);
  platform.browseAnswer.clear();
  EXPECT_EQ(chooser.DoModal(), kResultCancel);
  chooser.GetPath(path);
  EXPECT_EQ(path, sep + L"srv" + sep + L"pics" + sep);
}

}  // namespace
}  // namespace orvella::test
