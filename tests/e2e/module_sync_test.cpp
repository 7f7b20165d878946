// The plug-in's main job through the real module: a host loads it, starts it, and the
// image folder fills, stays in step and is cleaned, with nothing lost.
#include <atomic>

#include "tests/support/module_sync_fixture.h"

namespace orvella::test {
namespace {

TEST_F(ModuleSyncTest, FolderFillsStaysInStepAndIsCleaned) {
  server.SetCatalog(1, {"a.jpg", "b.jpg", "missing.jpg"});
  auto module = Start();
  WaitForBatches(1);
  EXPECT_EQ(folder.Read("a.jpg"), PatternBytes(50000, 'a'));
  EXPECT_EQ(folder.Read("c.jpg"), PatternBytes(50000, 'c'));
  EXPECT_TRUE(
      host.Logged(L"DownloadImage(), HTTP Error 404, url=" + server.ImageUrl("missing.jpg")));
  EXPECT_FALSE(fs::exists(folder / "missing.jpg"));
  EXPECT_EQ(CountInFolder(".__t"), 0);
  EXPECT_EQ(host.notifications(), 1);
  const std::set<std::pair<std::string, std::string>> first = {
      {Url("a.jpg"), "a.jpg"}, {Url("b.jpg"), "b.jpg"}, {Url("c.jpg"), "c.jpg"}};
  EXPECT_EQ(ListedPairs(), first);
  for (const ReceivedRequest& request : server.server.requests()) {
    if (request.path != "/api/v3/art/") continue;
    EXPECT_NE(request.target.find("&user_token=tok123&"), std::string::npos) << request.target;
  }
  module->Send(10, 0, 1);
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  module.reset();

  // The catalog moves on; a foreign file and b's companion lie in the folder.
  server.SetCatalog(1, {"a.jpg"});
  folder.Write("b.rprop", "b's properties");
  folder.Write("foreign.jpg", "the user's own");
  host.ClearLogs();
  module = Start();
  WaitForBatches(1);
  module->Send(10, 0, 1);
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (3 entries)"));
  EXPECT_EQ(host.CountLogs(L"DownloadImage()"), 0);
  EXPECT_EQ(server.ImageRequests("a.jpg"), 1);
  EXPECT_EQ(host.notifications(), 1);  // nothing new: no second notice
  EXPECT_FALSE(fs::exists(folder / "b.jpg"));
  EXPECT_FALSE(fs::exists(folder / "b.rprop"));
  EXPECT_EQ(folder.Read("foreign.jpg"), "the user's own");
  EXPECT_TRUE(fs::exists(folder / "a.jpg"));
  EXPECT_TRUE(fs::exists(folder / "c.jpg"));
}

TEST_F(ModuleSyncTest, StopWhileTheBodyStallsLeavesNothingBehind) {
  Reply stalled(200, PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  server.SetImage("slow.jpg", stalled);
  server.SetCatalog(1, {"slow.jpg"});
  server.SetCatalog(2, {});
  auto module = Start();
  WaitUntil([&] { return server.ImageRequests("slow.jpg") == 1; });
  EXPECT_EQ(module->Send(10, 0, 1), 0);
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  EXPECT_EQ(CountInFolder(""), 0);
}

// One sync sent 201 queries of a feed answering 503 while another offered 200 pictures:
// the pass before each download asked it again. The batch asks it once.
TEST_F(ModuleSyncTest, FailingFeedIsAskedOncePerBatch) {
  std::vector<std::string> clocks;
  for (int i = 0; i < 40; ++i) {
    clocks.push_back(std::string("c").append(std::to_string(i)).append(".jpg"));
    server.SetImage(clocks.back(), clocks.back());
  }
  server.SetCatalog(2, clocks);
  server.SetArtAnswer(1, [] { return Reply(503, "busy", "text/plain", {{"Retry-After", "0"}}); });
  auto module = Start();
  WaitForBatches(1);
  module->Send(10, 0, 1);
  EXPECT_EQ(server.ArtRequests(1), 1);
  EXPECT_EQ(host.CountLogs(L"Refresh 0: lastTm=0, retries=1"), 40);
  EXPECT_EQ(folder.Read("c39.jpg"), "c39.jpg");
}

}  // namespace
}  // namespace orvella::test
