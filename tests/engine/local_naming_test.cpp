// BuildLocalName: from an item's URL to a free, creatable file name in the folder.
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

class LocalNamingTest : public EngineTest {
 protected:
  bool Build(const std::wstring& url) {
    path.clear();
    name.clear();
    return engine.BuildLocalName(url, path, name);
  }
  std::wstring path;
  std::wstring name;
};

TEST_F(LocalNamingTest, NameIsTheLastSegmentCutAtTheQuery) {
  struct Case {
    const wchar_t* url;
    const wchar_t* name;
  };
  const Case cases[] = {
      {L"http://h/art/a%20b.jpg?size=2", L"a%20b.jpg"},
      {L"http://h/art/a b.jpg", L"a%20b.jpg"},
      {L"http://h/get?f=x/y.jpg", L"y.jpg"},
      {L"https://h:8443/x/../z/pic.png#frag", L"pic.png#frag"},
      {L"http://h/p/q.jpg?a=1?b=2", L"q.jpg"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Build(c.url)) << c.url;
    EXPECT_EQ(name, c.name) << c.url;
    EXPECT_EQ(path, InFolder(WideToUtf8(c.name))) << c.url;
    EXPECT_FALSE(Exists(WideToUtf8(c.name))) << "the test file is removed again";
  }
  EXPECT_TRUE(host.logs().empty());
}

TEST_F(LocalNamingTest, ExistingFilesAndTheFolderItselfAreTaken) {
  dir.Write("taken.jpg", "mine");
  EXPECT_FALSE(Build(L"http://h/art/taken.jpg"));
  EXPECT_EQ(path, InFolder("taken.jpg"));  // outputs set all the same
  EXPECT_EQ(name, L"taken.jpg");
  EXPECT_TRUE(host.Logged(L"File already exits: " + InFolder("taken.jpg")));
  EXPECT_EQ(dir.Read("taken.jpg"), "mine");

  EXPECT_FALSE(Build(L"http://h/art/"));
  EXPECT_EQ(name, L"");
  EXPECT_TRUE(host.Logged(L"File already exits: " + InFolder("")));
}

TEST_F(LocalNamingTest, UnusableNamesAndUrlsAreRefused) {
  // Names that would leave the folder or hit the list file, and a missing folder.
  for (const wchar_t* url :
       {L"http://h/get?f=x/..", L"http://h/get?f=x/a\\..\\..\\evil.jpg", L"http://h/c:evil.jpg",
        L"http://h/get?f=x/rvt_orv_files.lst", L"http://h/get?f=x/a\x02.jpg"}) {
    host.ClearLogs();
    EXPECT_FALSE(Build(url)) << url;
    ASSERT_EQ(host.logs().size(), 1u) << url;
    EXPECT_TRUE(host.logs()[0].starts_with(
        L"BuildLocalName(): Object name can't be used for local file: " + InFolder("")))
        << host.logs()[0];
  }
  app.ImgFolder = InFolder("missing");
  EXPECT_FALSE(Build(L"http://h/a.jpg"));
  EXPECT_TRUE(host.Logged(L"BuildLocalName(): Object name can't be used for local file: " +
                          InFolder("missing/a.jpg")));

  EXPECT_FALSE(Build(L"not a url"));
  EXPECT_TRUE(host.Logged(L"BuildLocalName(): Url can't be parsed: not a url"));
  EXPECT_EQ(CountFiles(""), 0);
}

}  // namespace
}  // namespace orvella::test
