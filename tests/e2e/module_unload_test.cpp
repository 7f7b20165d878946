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
    host.SetOneFeedProfile(Utf8ToWide(folder.path().string()));
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

// The worker's first list read is where it first hashes a URL. Unloading then must not
// leave the worker waiting for a lock the unload holds: the unload would give up after its
// wait and unmap code the worker then returns into.
TEST(ModuleUnloadListReadTest, UnloadDuringTheFirstListReadEndsTheWorker) {
  ScopedConfigHome config;
  FakeHost host;
  TempDir folder;
  std::string list = "\xEF\xBB\xBF[Rovanta Orvella List]\r\n200000\r\n";
  for (int i = 0; i < 200000; ++i)
    list += "http://h/gone/" + std::to_string(i) + ".jpg\r\n" + std::to_string(i) + ".jpg\r\n";
  folder.Write("rvt_orv_files.lst", list);
  ArtService server;
  ::setenv("ORVELLA_SERVER_URL", server.Url().c_str(), 1);
  host.SetOneFeedProfile(Utf8ToWide(folder.path().string()));
  LoadedModule module;
  module.Send(3, FakeHost::callbackArg());
  module.Send(7);
  module.Send(9);
  WaitUntil([&] { return host.CountLogs(L"COrvellaThread::Start") > 0; });
  module.Unload();
  const std::size_t lines = host.logs().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(host.logs().size(), lines);  // nothing runs on after the unload
}

}  // namespace
}  // namespace orvella::test
