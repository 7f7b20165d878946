// The real module driven as a host drives it, against a local art service and a
// temporary image folder: shared by the whole-module suites.
#pragma once

#include <stdlib.h>

#include <set>

#include "base/text_utf8.h"
#include "system/user_store.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {

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

  /// Loads the module (the one built, or a copy at `path`) and starts its worker, as a
  /// host does.
  std::unique_ptr<LoadedModule> Start(const std::string& path = ModulePath()) {
    auto module = std::make_unique<LoadedModule>(path);
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

}  // namespace orvella::test
