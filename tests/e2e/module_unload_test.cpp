// Unloading the module while its worker runs: the worker is stopped and waited for.
#include <stdlib.h>

#include "base/text_utf8.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

class ModuleUnloadTest : public ::testing::Test {
 protected:
  ModuleUnloadTest() {
    ::setenv("ORVELLA_SERVER_URL", server.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    host.SetInt(L"Enabled", 1);
    host.SetString(L"ImgFolder", Utf8ToWide(folder.path().string()));
    host.SetInt(L"nFeeds", 1);
    host.SetInt(L"Feed0_Type", 1);
    host.SetInt(L"Feed0_Flg", 1);
    module.Send(3, FakeHost::callbackArg());
    module.Send(7);
  }
  ScopedConfigHome config;
  FakeHost host;
  TempDir folder;
  ArtService server;
  LoadedModule module;
};

TEST_F(ModuleUnloadTest, UnloadDuringADownloadStopsAndWaitsForTheWorker) {
  Reply stalled(200, PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  server.SetImage("slow.jpg", stalled);
  server.SetCatalog(1, {"slow.jpg"});
  module.Send(9);
  WaitUntil([&] { return server.ImageRequests("slow.jpg") == 1; });
  module.Unload();  // no message 10 first
  const std::size_t lines = host.logs().size();
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(host.logs().size(), lines);  // nothing runs on after the unload
}

TEST_F(ModuleUnloadTest, UnloadOfAnIdleWorker) {
  server.SetImage("a.jpg", "a");
  server.SetCatalog(1, {"a.jpg"});
  module.Send(9);
  WaitUntil([&] { return host.CountLogs(L"Download complete") > 0; });
  module.Unload();
  EXPECT_EQ(folder.Read("a.jpg"), "a");
  EXPECT_TRUE(std::filesystem::exists(folder / "rvt_orv_files.lst"));
}

}  // namespace
}  // namespace orvella::test
