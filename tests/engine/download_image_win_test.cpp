// Image downloads over WinINet where the platform stack decides: bodies cut short,
// redirects it will not follow, and a stop request that ends a request blocked in WinINet.
#include "engine/download_image.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

class WinInetDownload : public EngineTest {
 protected:
  int32_t Download(const std::string& name, const std::string& target = "out.jpg") {
    return engine.DownloadImage(art.ImageUrl(name), InFolder(target), &stop);
  }
  // Sets the stop flag once the server has the request for `name`.
  std::thread StopWhenRequested(const std::string& name) {
    return std::thread([this, name] {
      WaitUntil([&] { return art.ImageRequests(name) == 1; });
      stop.store(1);
    });
  }
  ArtService art;
  std::atomic<int32_t> stop{0};
};

TEST_F(WinInetDownload, BodyCutShortIsAFailureAndLeavesNoFile) {
  for (std::size_t sent : {std::size_t{0}, std::size_t{5000}, std::size_t{100000}}) {
    SCOPED_TRACE(sent);
    host.ClearLogs();
    Reply cut(200, PatternBytes(200000), "image/jpeg");
    cut.closeAfter = sent;
    art.SetImage("short.jpg", cut);
    EXPECT_EQ(Download("short.jpg"), kDownloadError);
    EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error 12031 ("), 1);
    EXPECT_FALSE(Exists("out.jpg"));
  }
}

TEST_F(WinInetDownload, RedirectsAreFollowedOnlyToHttp) {
  art.SetImage("target.jpg", "image");
  art.SetImage("moved.jpg",
               Reply(302, "", "text/plain", {{"Location", art.Url() + "/img/target.jpg"}}));
  EXPECT_EQ(Download("moved.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("out.jpg"), "image");

  // A redirect WinINet will not follow stays the final answer: a refused status.
  dir.Write("secret.txt", "local file");
  art.SetImage("sneaky.jpg",
               Reply(302, "", "text/plain",
                     {{"Location", "file://" + (dir.path() / "secret.txt").string()}}));
  EXPECT_EQ(Download("sneaky.jpg", "sneaky.jpg"), kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), HTTP Error 302, url=" + art.ImageUrl("sneaky.jpg")));
  EXPECT_FALSE(Exists("sneaky.jpg"));
}

TEST_F(WinInetDownload, StopEndsARequestBlockedInWinInet) {
  // Waiting for the body: the server has sent part of it and then nothing.
  Reply stalled(200, PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  art.SetImage("slow.jpg", stalled);
  std::thread stopper = StopWhenRequested("slow.jpg");
  EXPECT_EQ(Download("slow.jpg"), kDownloadStopped);
  stopper.join();
  EXPECT_FALSE(Exists("out.jpg"));

  // Waiting for the answer: the server has not even sent the status yet.
  stop.store(0);
  Reply late(200, "late", "image/jpeg");
  late.delay = std::chrono::minutes(5);
  art.SetImage("late.jpg", late);
  std::thread lateStopper = StopWhenRequested("late.jpg");
  EXPECT_EQ(Download("late.jpg"), kDownloadStopped);
  lateStopper.join();
  EXPECT_FALSE(Exists("out.jpg"));
  art.server.Stop();  // ends the server's delay and stall
}

}  // namespace
}  // namespace orvella::test
