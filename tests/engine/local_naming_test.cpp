// BuildLocalName: an item's URL turned into a free, creatable file name of the image
// folder.
#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

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
