// The plug-in's names in the image folder: path helpers, the rule that keeps names inside
// the folder, the URLs it may record and the work names of downloads.
#include "engine/local_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/path_text.h"

namespace orvella::test {
namespace {

TEST(LocalPaths, ChangeExtensionAndAddBackslash) {
  const auto changed = [](std::wstring path, const wchar_t* extension) {
    ChangeExtension(path, extension);
    return path;
  };
  EXPECT_EQ(changed(L"D:\\Pics\\b.jpg", L"__t"), L"D:\\Pics\\b.__t");
  EXPECT_EQ(changed(L"D:\\Pics\\b", L"__t"), L"D:\\Pics\\b.__t");
  EXPECT_EQ(changed(L"D:\\Pics.old\\b", L"__t"), L"D:\\Pics.__t");  // the whole-path rule
  const std::wstring sep(1, kPathSeparator);
  for (const std::wstring& path : {std::wstring(L""), L"/pics" + sep}) {
    std::wstring same = path;
    AddBackslash(same);
    EXPECT_EQ(same, path);
  }
  EXPECT_EQ(JoinFolder(L"/pics", L"a.jpg"), L"/pics" + sep + L"a.jpg");
}

TEST(LocalPaths, NamesThatLeaveTheFolderOrHitOurFilesAreRefused) {
  for (const NameRules rules : {NameRules::kPosix, NameRules::kWindows}) {
    for (const wchar_t* bad :
         {L"", L".", L"..", L"a/b", L"..\\x.jpg", L"c:x.jpg", L"a\tb", L"\x1f", L"a\x7f",
          L"\u0080.jpg", L"a\u009f", L"RVT_ORV_FILES.LST", L"rvt_orv_files.lst.tmp",
          L"rvt_orv_files.lst.jnl", L"Rvt_Orv_Files.Lst.Lock"}) {
      EXPECT_FALSE(IsUsableLocalName(bad, rules)) << "'" << bad << "'";
    }
    for (const wchar_t* good : {L"a%20b.jpg", L"...jpg", L"x.__t", L"\u00e9.png", L"COM10.jpg",
                                L"~ \u00a0.jpg", L"rvt_orv_files.lst.x"}) {
      EXPECT_TRUE(IsUsableLocalName(good, rules)) << "'" << good << "'";
    }
    EXPECT_TRUE(IsUsableLocalName(std::wstring(kListTextMax, L'n'), rules));
    EXPECT_FALSE(IsUsableLocalName(std::wstring(kListTextMax + 1, L'n'), rules));
  }
  for (const wchar_t* device : {L"con.jpg", L"NUL", L"com9.png", L"LPT1", L"a.jpg.", L"a.jpg "}) {
    EXPECT_FALSE(IsUsableLocalName(device, NameRules::kWindows)) << "'" << device << "'";
    EXPECT_TRUE(IsUsableLocalName(device, NameRules::kPosix)) << "'" << device << "'";
  }
}

TEST(LocalPaths, RecordableUrlsFitOneListLineAndHoldNoControlCharacter) {
  const std::wstring base = L"http://h/a.jpg?";
  EXPECT_TRUE(IsRecordableUrl(base + std::wstring(8190 - base.size(), L'x')));
  EXPECT_FALSE(IsRecordableUrl(base + std::wstring(8191 - base.size(), L'x')));
  EXPECT_FALSE(IsRecordableUrl(L""));
  for (const wchar_t c : {L'\0', L'\r', L'\n', L'\x1f', L'\x7f', L'\x80', L'\x9f'})
    EXPECT_FALSE(IsRecordableUrl(base + c)) << static_cast<int>(c);
  for (const wchar_t c : {L' ', L'~', L'\xa0', L'\x7e'})
    EXPECT_TRUE(IsRecordableUrl(base + c)) << static_cast<int>(c);
  // Characters UTF-8 cannot carry would not read back from the list file.
  EXPECT_FALSE(IsRecordableUrl(base + static_cast<wchar_t>(0xD800)));
  EXPECT_FALSE(IsListableEntry(L"http://h/x", std::wstring(1, static_cast<wchar_t>(0xDC00))));
  EXPECT_TRUE(IsRecordableUrl(base + L"\U0001F600"));
  EXPECT_TRUE(IsListableEntry(L"http://h/\u0085", L"a.jpg"));  // reads back, never fetched
  EXPECT_FALSE(IsListableEntry(L"http://h/x\ny", L"a.jpg"));
  EXPECT_FALSE(IsListableEntry(L"http://h/x", L"a.jpg\u0085"));
}

TEST(LocalPaths, WorkNameDiffersFromTheName) {
  EXPECT_EQ(WorkName(L"b.jpg"), L"b.__t");
  EXPECT_EQ(WorkName(L"b"), L"b.__t");
  EXPECT_EQ(WorkName(L"x.__t"), L"x.__t.__t");
  EXPECT_EQ(WorkName(L".__t"), L".__t.__t");
  EXPECT_EQ(WorkName(L"X.__T", NameRules::kWindows), L"X.__T.__t");  // the same file there
  EXPECT_EQ(WorkName(L"X.__T", NameRules::kPosix), L"X.__t");
}

TEST(LocalPaths, OnlyAnAbsoluteFolderIsAnImageFolder) {
  EXPECT_FALSE(IsUsableImageFolder(L""));
  EXPECT_FALSE(IsUsableImageFolder(L"Pictures"));
  EXPECT_FALSE(IsUsableImageFolder(L"./Pictures"));
  const std::wstring absolute = FromFsPath(std::filesystem::temp_directory_path());
  EXPECT_TRUE(IsUsableImageFolder(absolute));
}

}  // namespace
}  // namespace orvella::test
