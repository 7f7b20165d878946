// Path helpers and the rule that keeps file names inside the image folder.
#include "engine/local_paths.h"

#include <gtest/gtest.h>

namespace orvella::test {
namespace {

std::wstring Changed(std::wstring path, const wchar_t* extension) {
  ChangeExtension(path, extension);
  return path;
}

std::wstring WithSeparator(std::wstring path) {
  AddBackslash(path);
  return path;
}

TEST(LocalPaths, ChangeExtensionLooksForTheLastDotInTheWholePath) {
  EXPECT_EQ(Changed(L"D:\\Pics\\b.jpg", L"__t"), L"D:\\Pics\\b.__t");
  EXPECT_EQ(Changed(L"D:\\Pics\\b", L"__t"), L"D:\\Pics\\b.__t");
  EXPECT_EQ(Changed(L"D:\\Pics.old\\b", L"__t"), L"D:\\Pics.__t");  // whole-path rule kept
  EXPECT_EQ(Changed(L"a.tar.gz", L"rprop"), L"a.tar.rprop");
  EXPECT_EQ(Changed(L"", L"__t"), L".__t");
}

TEST(LocalPaths, AddBackslashAppendsTheSeparatorOnce) {
  const std::wstring sep(1, kPathSeparator);
  EXPECT_EQ(WithSeparator(L""), L"");
  EXPECT_EQ(WithSeparator(L"/pics"), L"/pics" + sep);
  EXPECT_EQ(WithSeparator(L"/pics" + sep), L"/pics" + sep);
  EXPECT_EQ(JoinFolder(L"", L"rvt_orv_files.lst"), L"rvt_orv_files.lst");
  EXPECT_EQ(JoinFolder(L"/pics", L"a.jpg"), L"/pics" + sep + L"a.jpg");
}

TEST(LocalPaths, NamesThatCouldLeaveTheFolderOrHitOurFilesAreRefused) {
  for (const NameRules rules : {NameRules::kPosix, NameRules::kWindows}) {
    for (const wchar_t* bad :
         {L"", L".", L"..", L"a/b", L"..\\..\\x.jpg", L"c:x.jpg", L"a\tb", L"a\x7f", L"x\ny",
          L"rvt_orv_files.lst", L"RVT_ORV_FILES.LST", L"rvt_orv_files.lst.tmp"}) {
      EXPECT_FALSE(IsUsableLocalName(bad, rules)) << "'" << bad << "'";
    }
    for (const wchar_t* good :
         {L"a.jpg", L"a%20b.jpg", L"...jpg", L"..a", L"x.__t", L"\u00e9t\u00e9.png", L"console.jpg",
          L"COM10.jpg", L"rvt_orv_files.lst2"}) {
      EXPECT_TRUE(IsUsableLocalName(good, rules)) << "'" << good << "'";
    }
  }
  for (const wchar_t* device : {L"CON", L"con.jpg", L"Prn.txt", L"AUX", L"nul.x.y", L"COM0",
                                L"com9.png", L"LPT1", L"lpt5.jpg", L"a.jpg.", L"a.jpg "}) {
    EXPECT_FALSE(IsUsableLocalName(device, NameRules::kWindows)) << "'" << device << "'";
    EXPECT_TRUE(IsUsableLocalName(device, NameRules::kPosix)) << "'" << device << "'";
  }
}

}  // namespace
}  // namespace orvella::test
