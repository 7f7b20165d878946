// DownloadImage against a loopback server: results, files left behind, log lines, stop
// requests, redirects and the request it sends.
#include "engine/download_image.h"

#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

class DownloadImageTest : public EngineTest {
 protected:
  int32_t Download(const std::string& name, const std::string& target = "out.jpg") {
    return engine.DownloadImage(art.ImageUrl(name), InFolder(target), &stop);
  }
  ArtService art;
  std::atomic<int32_t> stop{0};
};

TEST_F(DownloadImageTest, BodyIsWrittenAndTheRequestCarriesAgentAndAccept) {
  const std::string body = PatternBytes(700000);  // several write pieces
  art.SetImage("a b.jpg", body);
  dir.Write("out.jpg", std::string(900000, 'x'));  // an existing file is truncated
  EXPECT_EQ(Download("a b.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("out.jpg"), body);
  const ReceivedRequest request = art.server.LastRequest();
  EXPECT_EQ(request.target, "/img/a%20b.jpg");
  // The request's own agent: the session's name gives way to it, on every platform.
  EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 8.0)");
  EXPECT_EQ(request.Header("Accept"), "text/*");
  EXPECT_TRUE(
      host.Logged(L"DownloadImage(), " + art.ImageUrl("a b.jpg") + L" -> " + InFolder("out.jpg")));
  art.SetImage("empty.jpg", "");
  EXPECT_EQ(Download("empty.jpg", "empty.jpg"), kDownloadOk);
  EXPECT_TRUE(Exists("empty.jpg"));
}

TEST_F(DownloadImageTest, RefusedRequestsLeaveNoFile) {
  EXPECT_EQ(Download("missing.jpg"), kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), HTTP Error 404, url=" + art.ImageUrl("missing.jpg")));
  EXPECT_EQ(engine.DownloadImage(L"ftp://127.0.0.1/x.jpg", InFolder("f.jpg"), &stop),
            kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), Unsupported service type (1), ftp://127.0.0.1/x.jpg"));
  EXPECT_EQ(engine.DownloadImage(L"nonsense", InFolder("n.jpg"), &stop), kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), AfxParseURL failed, nonsense"));
  art.SetImage("a.jpg", "data");
  EXPECT_EQ(Download("a.jpg", "no/folder.jpg"), kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), can't create file " + InFolder("no/folder.jpg")));
  EXPECT_EQ(art.ImageRequests("a.jpg"), 0);  // nothing was sent
  EXPECT_EQ(CountFiles(""), 0);
}

TEST_F(DownloadImageTest, ShortBodiesAndWriteErrorsAreFailures) {
  Reply cut(200, PatternBytes(200000), "image/jpeg");
  cut.closeAfter = 100000;
  art.SetImage("short.jpg", cut);
  EXPECT_EQ(Download("short.jpg"), kDownloadError);
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error "), 1);
  EXPECT_FALSE(Exists("out.jpg"));

  art.SetImage("big.jpg", PatternBytes(600000));
  art.SetImage("small.jpg", PatternBytes(100000));
  for (const char* name : {"big.jpg", "small.jpg"}) {  // fails while writing, or at the end
    ScopedFileSizeLimit disk(64 * 1024);
    EXPECT_EQ(Download(name), kDownloadError) << name;
  }
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), can't write file " + InFolder("out.jpg")), 2);
  EXPECT_FALSE(Exists("out.jpg"));
}

TEST_F(DownloadImageTest, RedirectsAreFollowedToHttpOnly) {
  art.SetImage("real.jpg", "real");
  art.SetImage("moved.jpg",
               Reply(302, "", "text/plain", {{"Location", art.Url() + "/img/real.jpg"}}));
  EXPECT_EQ(Download("moved.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("out.jpg"), "real");
  dir.Write("secret.txt", "local file");
  art.SetImage("sneaky.jpg",
               Reply(302, "", "text/plain",
                     {{"Location", "file://" + (dir.path() / "secret.txt").string()}}));
  EXPECT_EQ(Download("sneaky.jpg", "sneaky.jpg"), kDownloadError);
  EXPECT_FALSE(Exists("sneaky.jpg"));
}

TEST_F(DownloadImageTest, StopEndsAStalledOrWaitingTransfer) {
  Reply stalled(200, PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  art.SetImage("slow.jpg", stalled);
  std::thread stopper([&] {
    WaitUntil([&] { return art.ImageRequests("slow.jpg") == 1; });
    stop.store(1);
  });
  EXPECT_EQ(Download("slow.jpg"), kDownloadStopped);
  stopper.join();
  Reply delayed(200, "late", "image/jpeg");
  delayed.delay = std::chrono::minutes(10);
  art.SetImage("late.jpg", delayed);
  EXPECT_EQ(Download("late.jpg"), kDownloadStopped);  // the flag is still set
  EXPECT_EQ(CountFiles(""), 0);
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error"), 0);
}

// A session that hands over scripted blocks, so that a stop request can arrive exactly
// between the last block and the end of the body.
class ScriptedSession final : public ImageSession {
 public:
  static inline std::atomic<int32_t>* stopAfterLastBlock = nullptr;
  static std::unique_ptr<ImageSession> Open(const std::wstring&) {
    return std::make_unique<ScriptedSession>();
  }
  ImageFetchResult Get(const ParsedUrl&, const std::atomic<int32_t>*, ImageSink& sink) override {
    const std::string block(kImageBlockSize, 'z');
    ImageFetchResult result;
    result.outcome = ImageFetchOutcome::kSinkDeclined;
    for (int i = 0; i < 3; ++i) {
      if (!sink.Deliver(block.data(), block.size())) return result;
    }
    stopAfterLastBlock->store(1);
    result.outcome = ImageFetchOutcome::kComplete;
    return result;
  }
};

TEST_F(DownloadImageTest, StopAfterTheLastBlockStillSucceeds) {
  ScriptedSession::stopAfterLastBlock = &stop;
  EXPECT_EQ(DownloadImage(L"http://h/x.jpg", InFolder("x.jpg"), &stop, &ScriptedSession::Open),
            kDownloadOk);
  EXPECT_EQ(dir.Read("x.jpg").size(), 3 * kImageBlockSize);
  // Now the flag is set: the first block is not written, the file goes.
  EXPECT_EQ(DownloadImage(L"http://h/x.jpg", InFolder("x.jpg"), &stop, &ScriptedSession::Open),
            kDownloadStopped);
  EXPECT_FALSE(Exists("x.jpg"));
}

}  // namespace
}  // namespace orvella::test
