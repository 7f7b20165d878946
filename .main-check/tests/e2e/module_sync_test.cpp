// The plug-in's main job through the real module: a host loads it, starts it, and the
// image folder fills, stays in step and is cleaned, with nothing lost.
#include <stdlib.h>

#include <atomic>
#include <set>

#include "base/text_utf8.h"
#include "system/user_store.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

class ModuleSyncTest : public ::testing::Test {
 protected:
  ModuleSyncTest() {
    ::setenv("ORVELLA_SERVER_URL", server.Url().c_str(), 1);
    ::unsetenv("DISPLAY");  // no monitors: the queries ask for 0 x 0
    WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", L"tok123");
    host.SetInt(L"Enabled", 1);
    host.SetInt(L"tmUpdate", 1440);
    host.SetString(L"ImgFolder", Utf8ToWide(folder.path().string()));
    host.SetInt(L"nFeeds", 2);
    for (int i = 0; i < 2; ++i) {
      const std::wstring feed = L"Feed" + std::to_wstring(i) + L"_";
      host.SetInt(feed + L"Type", i + 1);  // wallpapers, then clocks
      host.SetInt(feed + L"Flg", 1);
      host.SetInt(feed + L"MaxP", 20);
    }
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      server.SetImage(name, PatternBytes(50000, name[0]));
    }
    server.SetCatalog(1, {"a.jpg", "b.jpg"});
    server.SetCatalog(2, {"c.jpg"});
  }

  /// Loads the module and starts its worker, as a host does.
  std::unique_ptr<LoadedModule> Start() {
    auto module = std::make_unique<LoadedModule>();
    module->Send(3, FakeHost::callbackArg());
    module->Send(28, 0);
    module->Send(7);
    module->Send(9);
    return module;
  }
  void WaitForBatches(int count) {
    WaitUntil([&] { return host.CountLogs(L"Download complete") >= count; });
  }
  /// The URL / name pairs of the list file, checked for its exact framing.
  std::set<std::pair<std::string, std::string>> ListedPairs() const {
    const std::string bytes = folder.Read("rvt_orv_files.lst");
    const std::string head = "\xEF\xBB\xBF[Rovanta Orvella List]\r\n";
    EXPECT_EQ(bytes.substr(0, head.size()), head);
    std::vector<std::string> lines;
    std::size_t at = head.size();
    while (at < bytes.size()) {
      const std::size_t end = bytes.find("\r\n", at);
      EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
      if (end == std::string::npos) break;
      lines.push_back(bytes.substr(at, end - at));
      at = end + 2;
    }
    std::set<std::pair<std::string, std::string>> pairs;
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return pairs;
    EXPECT_EQ(std::to_string(lines.size() / 2), lines[0]);
    for (std::size_t i = 1; i + 1 < lines.size(); i += 2) pairs.insert({lines[i], lines[i + 1]});
    return pairs;
  }
  int CountInFolder(const std::string& suffix) const {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      n += entry.path().filename().string().ends_with(suffix);
    }
    return n;
  }
  std::string Url(const std::string& name) const { return WideToUtf8(server.ImageUrl(name)); }

  ScopedConfigHome config;
  FakeHost host;
  TempDir folder;
  ArtService server;
};

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

TEST_F(ModuleSyncTest, WronglyTypedAnswerRestartsTheLoopWithoutLosingDownloads) {
  // The clock feed is busy until a.jpg was fetched, then answers once with a number where
  // a text belongs, then properly.
  std::atomic<bool> fetched{false};
  std::atomic<int> bad{0};
  server.SetCatalog(1, {"a.jpg"});
  server.server.SetHandler("/img/a.jpg", [&](const ReceivedRequest&) {
    fetched = true;
    return Reply(200, "a", "image/jpeg");
  });
  server.SetArtAnswer(2, [&] {
    if (!fetched) return Reply(503, "busy");
    if (bad++ == 0) return Reply(200, R"({"art":[{"name":"c","clock_url":42}]})");
    return Reply(200, server.Catalog(2, {"c.jpg"}));
  });
  auto module = Start();
  WaitUntil([&] { return fs::exists(folder / "c.jpg"); });
  WaitForBatches(1);
  module->Send(10, 0, 1);
  const auto logs = host.logs();
  const auto error =
      std::find(logs.begin(), logs.end(), L"Unknown Exception in COrvellaThread::RunComms()");
  ASSERT_NE(error, logs.end());
  EXPECT_NE(std::find(error, logs.end(), L"ReadLocalFileList: file list loaded (1 entries)"),
            logs.end());
  const std::set<std::pair<std::string, std::string>> both = {{Url("a.jpg"), "a.jpg"},
                                                              {Url("c.jpg"), "c.jpg"}};
  EXPECT_EQ(ListedPairs(), both);
}

}  // namespace
}  // namespace orvella::test
