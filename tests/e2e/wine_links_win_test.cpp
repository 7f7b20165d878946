// Unix links planted in the image folder, as Wine shows them: not as reparse points but as
// the files they point to, which Wine writes and deletes through them. A sync of the real
// module leaves each link's target as it was. The links are planted, and their targets
// checked, by wine_links.sh outside Wine, which hands the folder over in
// ORVELLA_PLANTED_FOLDER; without it the test has nothing to try.
#include <stdlib.h>

#include "tests/support/module_sync_fixture.h"

namespace orvella::test {
namespace {

class WineLinks : public ModuleSyncTest {};

TEST_F(WineLinks, ASyncWritesAndDeletesNothingThroughThem) {
  const char* planted = std::getenv("ORVELLA_PLANTED_FOLDER");
  if (planted == nullptr) GTEST_SKIP() << "run by wine_links.sh, which plants the links";
  host.SetString(L"ImgFolder", Utf8ToWide(planted));
  server.SetCatalog(1, {"a.jpg", "b.jpg"});
  server.SetCatalog(2, {});
  host.ClearLogs();
  auto module = Start();
  WaitForBatches(1);
  module->Send(10, 0, 1);
  // a.jpg's work name is a link: not the plug-in's, so a.jpg is not fetched through it.
  EXPECT_TRUE(
      host.Logged(L"DownloadNext(), work file name is taken by a file that is not the plug-in's: " +
                  Utf8ToWide(planted) + L"\\a.__t"));
  EXPECT_EQ(server.ImageRequests("a.jpg"), 0);
  const std::string round =
      std::getenv("ORVELLA_PLANTED_ROUND") ? std::getenv("ORVELLA_PLANTED_ROUND") : "";
  if (round == "list") {
    // b.jpg is stored; the list's new copy cannot be made through the link.
    EXPECT_TRUE(host.Logged(L"WriteLocalFileList: not a regular file, left alone: " +
                            Utf8ToWide(planted) + L"\\rvt_orv_files.lst.tmp"));
  }
  if (round == "journal") {
    // The journal is neither read nor written through the link, and no download begins
    // unannounced.
    EXPECT_TRUE(host.Logged(
        L"ReadLocalFileList: journal is not the plug-in's own file, left alone: " +
        Utf8ToWide(planted) + L"\\rvt_orv_files.lst.jnl"));
    EXPECT_EQ(host.CountLogs(L"DownloadNext(), can't write journal "), 1);
    EXPECT_EQ(server.ImageRequests("b.jpg"), 0);
  }
}

}  // namespace
}  // namespace orvella::test
