// The image folder through the real module, against a hostile service, planted files, odd
// settings and a second host: what stays on disk, byte for byte.
#include <atomic>

#include "tests/support/module_sync_fixture.h"

namespace orvella::test {
namespace {

class ModuleFolderTest : public ModuleSyncTest {
 protected:
  ModuleFolderTest() {
    server.SetCatalog(2, {});
    outside.Write("precious.txt", "keep me");
  }
  /// Answers the wallpaper feed with these URLs (named after their last segment).
  void OfferUrls(const std::vector<std::wstring>& urls) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::wstring& url : urls) entries.emplace_back("x", WideToUtf8(url));
    const std::string body = ArtJson(entries, "wall_url");
    server.SetArtAnswer(1, [body] { return Reply(200, body); });
  }
  /// The names in the folder but the list file's, each with its content.
  std::map<std::string, std::string> FolderFiles() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "rvt_orv_files.lst") files[name] = folder.Read(name);
    }
    return files;
  }

  TempDir outside;
};

// Without its check, the first URL wrote two lines of its own into the list, and the
// next batch end deleted the user's photo and its companion as an unused download.
TEST_F(ModuleFolderTest, AnswersThatCouldForgeListLinesDeleteNothing) {
  folder.Write("userphoto.jpg", "the user's photo");
  folder.Write("userphoto.rprop", "its properties");
  const std::wstring a = server.ImageUrl("a.jpg");
  const std::wstring longest = a + L"?" + std::wstring(8190 - a.size() - 1, L'p');
  OfferUrls({a + L"?q\r\nuserphoto.jpg\r\nx", longest, longest + L"p",
             server.ImageUrl("x#/c\u009d.jpg")});
  Pass();
  Pass();                                       // a second batch end, with everything answered
  EXPECT_EQ(server.ImageRequests("a.jpg"), 1);  // only the 8190-character URL
  EXPECT_EQ(host.CountLogs(L"DownloadNext(), URL can't be recorded ("), 3);
  const std::map<std::string, std::string> expected = {{"userphoto.jpg", "the user's photo"},
                                                       {"userphoto.rprop", "its properties"},
                                                       {"a.jpg", PatternBytes(50000, 'a')}};
  EXPECT_EQ(FolderFiles(), expected);
  EXPECT_EQ(folder.Read("rvt_orv_files.lst"),
            "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\n" + WideToUtf8(longest) + "\r\na.jpg\r\n");
}

TEST_F(ModuleFolderTest, PlantedLinksPipesAndLeftoversAreNeverWrittenThrough) {
  server.SetCatalog(1, {"a.jpg", "b.jpg"});
  const bool linked = PlantLink(folder / "a.__t", outside / "precious.txt") == Planted::kLink;
  folder.Write("b.__t", "a file of the user's that looks like a work file");
  // A pipe at the list's name: the worker does not hang on it.
  const bool piped = PlantPipe(folder / "rvt_orv_files.lst");
  Pass();
  EXPECT_EQ(outside.Read("precious.txt"), "keep me");
  EXPECT_EQ(folder.Read("b.__t"), "a file of the user's that looks like a work file");
  EXPECT_FALSE(fs::exists(folder / "b.jpg"));
  if (linked) {
    EXPECT_TRUE(fs::is_symlink(folder / "a.__t"));
    EXPECT_FALSE(fs::exists(folder / "a.jpg"));
    EXPECT_TRUE(host.Logged(
        L"DownloadNext(), work file name is taken by a file that is not the plug-in's: " +
        Utf8ToWide((folder / "a.__t").string())));
  }
  // Once the user's file is out of the way, the picture comes.
  fs::remove(folder / "b.__t");
  Pass();
  EXPECT_EQ(folder.Read("b.jpg"), PatternBytes(50000, 'b'));
  if (piped) {
    EXPECT_TRUE(host.Logged(L"ReadLocalFileList: not a regular file, taken as missing: " +
                            Utf8ToWide((folder / "rvt_orv_files.lst").string())));
  }
  EXPECT_EQ(ListedPairs().count({Url("b.jpg"), "b.jpg"}), 1u);  // the list replaced the pipe

  // A link at the list's temporary name: the list is not written, nothing goes through it.
  if (PlantLink(folder / "rvt_orv_files.lst.tmp", outside / "precious.txt") == Planted::kLink) {
    server.SetCatalog(1, {"a.jpg", "b.jpg", "c.jpg"});
    const std::string list = folder.Read("rvt_orv_files.lst");
    Pass();
    EXPECT_EQ(folder.Read("c.jpg"), PatternBytes(50000, 'c'));
    EXPECT_EQ(folder.Read("rvt_orv_files.lst"), list);
    EXPECT_EQ(outside.Read("precious.txt"), "keep me");
    EXPECT_EQ(host.notifications(), 2);  // c.jpg arrived; the failed write adds none
    // The journal keeps c.jpg's record until a list can be written.
    fs::remove(folder / "rvt_orv_files.lst.tmp");
    Pass();
    EXPECT_EQ(ListedPairs().count({Url("c.jpg"), "c.jpg"}), 1u);
    EXPECT_EQ(server.ImageRequests("c.jpg"), 1);
  }
}

// The batch that deleted b.jpg used to leave its record in the list; the record said
// "present" for ever after, and b.jpg never came back.
TEST_F(ModuleFolderTest, FilesGoneFromTheFolderAreFetchedAgain) {
  Pass();
  server.SetCatalog(1, {"a.jpg"});
  Pass();  // deletes b.jpg: a batch without downloads
  EXPECT_FALSE(fs::exists(folder / "b.jpg"));
  EXPECT_EQ(ListedPairs(),
            (std::set<std::pair<std::string, std::string>>{{Url("a.jpg"), "a.jpg"}}));
  server.SetCatalog(1, {"a.jpg", "b.jpg"});
  fs::remove(folder / "a.jpg");  // the user deleted it
  Pass();
  EXPECT_EQ(server.ImageRequests("a.jpg"), 2);
  EXPECT_EQ(server.ImageRequests("b.jpg"), 2);
  EXPECT_EQ(folder.Read("a.jpg"), PatternBytes(50000, 'a'));
  EXPECT_EQ(folder.Read("b.jpg"), PatternBytes(50000, 'b'));
}

TEST_F(ModuleFolderTest, NameEndingInTheWorkExtensionIsStoredOnce) {
  server.SetImage("x.__t", "x");
  server.SetCatalog(1, {"x.__t"});
  Pass();
  Pass();
  EXPECT_EQ(folder.Read("x.__t"), "x");
  EXPECT_EQ(server.ImageRequests("x.__t"), 1);
  EXPECT_EQ(host.notifications(), 1);
}

TEST_F(ModuleFolderTest, EmptyFolderSettingWritesNowhere) {
  TempDir current;
  const fs::path old = fs::current_path();
  fs::current_path(current.path());
  host.SetString(L"ImgFolder", L"");
  Pass();
  fs::current_path(old);
  EXPECT_TRUE(fs::is_empty(current.path()));
  EXPECT_EQ(host.CountLogs(L"DownloadNext(), no usable image folder"), 1);
  EXPECT_EQ(server.ImageRequests("a.jpg"), 0);
}

// Two hosts on one folder used to download into the same work files and leave files that
// neither list held.
TEST_F(ModuleFolderTest, SecondHostOnTheFolderLeavesItToTheFirst) {
  TempDir copies;
  const fs::path second = copies / "Orvella2.rpl";
  fs::copy_file(ModulePath(), second);
  Reply slow(200, PatternBytes(50000, 'b'), "image/jpeg");
  slow.stallAfter = 1000;
  server.SetImage("b.jpg", slow);
  auto first = Start();
  // The body is held back: a release before that would be missed, and the download
  // would wait for its time-out.
  WaitUntil([&] { return server.server.HeldCount() == 1; });
  auto other = Start(second.string());  // its worker finds the folder taken
  WaitUntil([&] {
    return host.CountLogs(L"DownloadNext(), image folder in use by another worker") == 1;
  });
  server.server.ReleaseStalls();  // b.jpg fails: its body ends early
  WaitForBatches(1);
  other->Send(10, 0, 1);
  first->Send(10, 0, 1);
  EXPECT_EQ(server.ImageRequests("a.jpg") + server.ImageRequests("b.jpg"), 2);  // the first's
  EXPECT_EQ(host.CountLogs(L"DownloadNext(), can't rename"), 0);
  const std::map<std::string, std::string> expected = {{"a.jpg", PatternBytes(50000, 'a')}};
  EXPECT_EQ(FolderFiles(), expected);
  EXPECT_EQ(ListedPairs(),
            (std::set<std::pair<std::string, std::string>>{{Url("a.jpg"), "a.jpg"}}));
}

// A power cut used to leave empty pictures that later syncs counted present (recorded) or
// never fetched (untracked, "File already exits"): both come again, whole; an empty file
// of the user's that no feed offers stays.
TEST_F(ModuleFolderTest, PicturesAPowerCutLeftEmptyAreFetchedAgain) {
  folder.Write("rvt_orv_files.lst",
               "\xEF\xBB\xBF[Rovanta Orvella List]\r\n1\r\n" + Url("a.jpg") + "\r\na.jpg\r\n");
  folder.Write("a.jpg", "");
  folder.Write("b.jpg", "");
  folder.Write("user-empty.jpg", "");
  Pass();
  EXPECT_EQ(folder.Read("a.jpg"), PatternBytes(50000, 'a'));
  EXPECT_EQ(folder.Read("b.jpg"), PatternBytes(50000, 'b'));
  EXPECT_TRUE(fs::exists(folder / "user-empty.jpg"));
  EXPECT_EQ(ListedPairs(), (std::set<std::pair<std::string, std::string>>{
                               {Url("a.jpg"), "a.jpg"}, {Url("b.jpg"), "b.jpg"}}));
}

// Journal entries the plug-in did not write (planted, or an older journal's, without the
// work file's name or the stored bytes' digest) used to delete the user's photo at a batch
// end and the user's work-named file and empty picture at the next start.
TEST_F(ModuleFolderTest, JournalEntriesThePlugInDidNotWriteDeleteNothing) {
  folder.Write("userphoto.jpg", "the user's photo");
  folder.Write("userphoto.rprop", "its properties");
  folder.Write("holiday.__t", "the user's own");
  folder.Write("holiday.jpg", "");
  folder.Write("rvt_orv_files.lst.jnl",
               "+\r\nhttp://h/userphoto.jpg\r\nuserphoto.jpg\r\n.\r\n"
               "*\r\nhttp://h/holiday.jpg\r\nholiday.jpg\r\n.\r\n");
  Pass();
  EXPECT_EQ(folder.Read("userphoto.jpg"), "the user's photo");
  EXPECT_EQ(folder.Read("userphoto.rprop"), "its properties");
  EXPECT_EQ(folder.Read("holiday.__t"), "the user's own");
  EXPECT_TRUE(fs::exists(folder / "holiday.jpg"));
  EXPECT_EQ(ListedPairs(), (std::set<std::pair<std::string, std::string>>{
                               {Url("a.jpg"), "a.jpg"}, {Url("b.jpg"), "b.jpg"}}));
}

// While a picture named x.__t is recorded, x.jpg used to be never stored: its work name
// was taken by the record. It goes through another work name.
TEST_F(ModuleFolderTest, APictureAtAnotherOnesWorkNameIsGoneAround) {
  server.SetImage("x.__t", "a picture of that name");
  server.SetImage("x.jpg", "x");
  server.SetCatalog(1, {"x.__t"});
  Pass();
  server.SetCatalog(1, {"x.__t", "x.jpg"});
  Pass();
  EXPECT_EQ(folder.Read("x.__t"), "a picture of that name");
  EXPECT_EQ(folder.Read("x.jpg"), "x");
  EXPECT_EQ(ListedPairs().size(), 2u);
  EXPECT_EQ(CountInFolder("~1.__t"), 0);
}

}  // namespace
}  // namespace orvella::test
