// From an item's URL to a file of the image folder: path helpers, the URL canonical form
// and split, the rule that keeps names inside the folder, and BuildLocalName.
#include "engine/local_names.h"
#include "net/url_parse.h"
#include "tests/engine/engine_fixture.h"

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

TEST(UrlParse, CanonicalFormChangesOnlyThePartBeforeTheQuery) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"http://h/art/a b.jpg", L"http://h/art/a%20b.jpg"},
      {L"http://h/a b?x=a b#c d", L"http://h/a%20b?x=a b#c d"},
      {L"http://h/a/./b/../c.jpg", L"http://h/a/c.jpg"},
      {L"http://h/../../etc/x", L"http://h/etc/x"},
      {L"http://h/x?p=../y", L"http://h/x?p=../y"},
      {L"http://h\\a\\..\\b.jpg", L"http://h/b.jpg"},
      {L"http://h/%2e%2e/a%20", L"http://h/%2e%2e/a%20"},  // escapes are never decoded
      {L"http://h/t\tx\x01", L"http://h/t%09x%01"},
      {L"http://h/caf\u00e9 \u20ac", L"http://h/caf%E9%20%80"},  // Windows-1252 bytes
      {L"http://h", L"http://h/"},
  };
  for (const auto& [url, canonical] : cases) {
    std::wstring out;
    EXPECT_TRUE(CanonicalizeUrl(url, out)) << url;
    EXPECT_EQ(out, canonical) << url;
  }
}

TEST(UrlParse, SplitAndMalformedUrls) {
  ParsedUrl u;
  ASSERT_TRUE(ParseUrl(L"HTTP://Example.org/a/../b.jpg?q=1", u));
  EXPECT_EQ(u.serviceType, kServiceHttp);
  EXPECT_EQ(u.server, L"Example.org");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.object, L"/b.jpg?q=1");
  ASSERT_TRUE(ParseUrl(L"https://user:pw@[::1]:8443", u));
  EXPECT_EQ(u.serviceType, kServiceHttps);
  EXPECT_EQ(u.server, L"[::1]");
  EXPECT_EQ(u.port, 8443);
  EXPECT_EQ(u.object, L"/");
  ASSERT_TRUE(ParseUrl(L"ftp://h/x.jpg", u));
  EXPECT_EQ(u.serviceType, kServiceFtp);
  for (const wchar_t* bad : {L"", L"x.jpg", L"/art/x.jpg", L"http:x", L"1http://h/", L"http:///x",
                             L"http://h:99999/", L"http://h:8o/", L"http://[::1/x"}) {
    EXPECT_FALSE(ParseUrl(bad, u)) << "'" << bad << "'";
  }
}

class LocalNamingTest : public EngineTest {
 protected:
  bool Build(const std::wstring& url) {
    path = name = L"";
    return engine.BuildLocalName(url, path, name);
  }
  std::wstring path;
  std::wstring name;
};

TEST_F(LocalNamingTest, NameIsTheLastSegmentCutAtTheQuery) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"http://h/art/a%20b.jpg?size=2", L"a%20b.jpg"},
      {L"http://h/art/a b.jpg", L"a%20b.jpg"},
      {L"http://h/get?f=x/y.jpg", L"y.jpg"},
      {L"http://h/p/q.jpg?a=1?b=2", L"q.jpg"},
  };
  for (const auto& [url, expected] : cases) {
    EXPECT_TRUE(Build(url)) << url;
    EXPECT_EQ(name, expected) << url;
    EXPECT_EQ(path, InFolder(WideToUtf8(expected))) << url;
  }
  EXPECT_EQ(CountFiles(""), 0);  // the test creations are removed again
  EXPECT_TRUE(host.logs().empty());
}

TEST_F(LocalNamingTest, TakenAndUnusableNamesAreRefused) {
  dir.Write("taken.jpg", "mine");
  EXPECT_FALSE(Build(L"http://h/art/taken.jpg"));
  EXPECT_EQ(path, InFolder("taken.jpg"));  // set all the same
  EXPECT_TRUE(host.Logged(L"File already exits: " + InFolder("taken.jpg")));
  EXPECT_FALSE(Build(L"http://h/art/"));  // the folder itself
  EXPECT_TRUE(host.Logged(L"File already exits: " + InFolder("")));

  host.ClearLogs();
  for (const wchar_t* url : {L"http://h/get?f=x/..", L"http://h/get?f=x/a\\..\\..\\e.jpg",
                             L"http://h/c:e.jpg", L"http://h/get?f=x/rvt_orv_files.lst"}) {
    EXPECT_FALSE(Build(url)) << url;
  }
  EXPECT_EQ(host.CountLogs(L"BuildLocalName(): Object name can't be used for local file: " +
                           InFolder("")),
            4);
  owner.ImgFolder = InFolder("missing");
  EXPECT_FALSE(Build(L"http://h/a.jpg"));  // the test creation fails
  EXPECT_TRUE(host.Logged(L"BuildLocalName(): Object name can't be used for local file: " +
                          InFolder("missing/a.jpg")));
  EXPECT_FALSE(Build(L"not a url"));
  EXPECT_TRUE(host.Logged(L"BuildLocalName(): Url can't be parsed: not a url"));
  EXPECT_EQ(dir.Read("taken.jpg"), "mine");
  // A link at the name, even one pointing nowhere, takes it: nothing is created through it.
  owner.ImgFolder = Utf8ToWide(dir.path().string());
  if (PlantLink(dir / "dangling.jpg", dir / "nowhere.jpg") == Planted::kLink) {
    EXPECT_FALSE(Build(L"http://h/dangling.jpg"));
    EXPECT_TRUE(host.Logged(L"File already exits: " + InFolder("dangling.jpg")));
    EXPECT_FALSE(Exists("nowhere.jpg"));
  }
}

}  // namespace
}  // namespace orvella::test
