// DownloadImage over a real loopback server: results, files left behind, log lines,
// stop requests and the request it sends.
#include "engine/download_image.h"

#include <thread>

#include "tests/engine/art_server_fixture.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

class DownloadImageTest : public EngineTest {
 protected:
  int32_t Download(const std::string& name, const std::string& target = "out.jpg") {
    return engine.DownloadImage(server.ImageUrl(name), InFolder(target), &stop);
  }
  ArtServer server;
  std::atomic<int32_t> stop{0};
};

TEST_F(DownloadImageTest, BodyIsWrittenAndTheRequestCarriesAgentAndAccept) {
  const std::string body = PatternBytes(100000);
  server.SetImage("a.jpg", body);
  dir.Write("out.jpg", std::string(300000, 'x'));  // an existing file is truncated
  EXPECT_EQ(Download("a.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("out.jpg"), body);
  EXPECT_EQ(server.LastImageHeader("a.jpg", "User-Agent"), "Rovanta FeedReader");
  EXPECT_EQ(server.LastImageHeader("a.jpg", "Accept"), "text/*");
  const std::wstring url = server.ImageUrl("a.jpg");
  EXPECT_TRUE(host.Logged(L"DownloadImage(), " + url + L" -> " + InFolder("out.jpg")));

  server.SetImage("empty.jpg", "");
  EXPECT_EQ(Download("empty.jpg", "empty.jpg"), kDownloadOk);
  EXPECT_TRUE(Exists("empty.jpg"));
  EXPECT_EQ(dir.Read("empty.jpg"), "");

  server.SetImage("b c.jpg", "spaced");
  EXPECT_EQ(Download("b c.jpg", "bc.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("bc.jpg"), "spaced");
}

TEST_F(DownloadImageTest, RefusedRequestsLeaveNoFile) {
  EXPECT_EQ(Download("missing.jpg"), kDownloadFailed);
  EXPECT_TRUE(
      host.Logged(L"DownloadImage(), HTTP Error 404, url=" + server.ImageUrl("missing.jpg")));

  EXPECT_EQ(engine.DownloadImage(L"ftp://127.0.0.1/x.jpg", InFolder("out.jpg"), &stop),
            kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), Unsupported service type (1), ftp://127.0.0.1/x.jpg"));

  EXPECT_EQ(engine.DownloadImage(L"nonsense", InFolder("out.jpg"), &stop), kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), AfxParseURL failed, nonsense"));

  server.SetImage("a.jpg", "data");
  EXPECT_EQ(Download("a.jpg", "no/such/folder.jpg"), kDownloadFailed);
  EXPECT_TRUE(host.Logged(L"DownloadImage(), can't create file " + InFolder("no/such/folder.jpg")));
  EXPECT_EQ(server.ImageRequests("a.jpg"), 0);  // nothing was sent
  EXPECT_EQ(CountFiles(""), 0);
}

TEST_F(DownloadImageTest, ShortBodiesAndWriteErrorsAreFailures) {
  server.SetImage("short.jpg", PatternBytes(200000));
  server.SetFault("short.jpg", ImageFault::kShortBody);
  EXPECT_EQ(Download("short.jpg"), kDownloadError);
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error "), 1);
  EXPECT_FALSE(Exists("out.jpg"));

  server.SetImage("big.jpg", PatternBytes(300000));
  {
    ScopedFileSizeLimit disk(64 * 1024);
    EXPECT_EQ(Download("big.jpg"), kDownloadError);
  }
  EXPECT_TRUE(host.Logged(L"DownloadImage(), can't write file " + InFolder("out.jpg")));
  EXPECT_FALSE(Exists("out.jpg"));
}

TEST_F(DownloadImageTest, RedirectsAreFollowedToHttpOnly) {
  server.SetImage("real.jpg", "real");
  server.SetRedirect("moved.jpg", server.Url() + "/img/real.jpg");
  EXPECT_EQ(Download("moved.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("out.jpg"), "real");

  const std::string secret = (dir.path() / "secret.txt").string();
  dir.Write("secret.txt", "local file");
  server.SetRedirect("sneaky.jpg", "file://" + secret);
  EXPECT_EQ(Download("sneaky.jpg", "sneaky.jpg"), kDownloadError);
  EXPECT_FALSE(Exists("sneaky.jpg"));
}

TEST_F(DownloadImageTest, StopDuringTheBodyRemovesThePartialFile) {
  server.SetImage("slow.jpg", PatternBytes(1 << 20));
  server.SetFault("slow.jpg", ImageFault::kStall);
  std::thread stopper([&] {
    server.WaitForStall();
    stop.store(1);
  });
  // The first part arrived, then nothing: the stop ends the stalled transfer.
  EXPECT_EQ(Download("slow.jpg"), kDownloadStopped);
  stopper.join();
  EXPECT_FALSE(Exists("out.jpg"));
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error"), 0);
}

TEST_F(DownloadImageTest, StopBeforeAnyDataEndsTheRequest) {
  server.SetImage("a.jpg", PatternBytes(50000));
  stop.store(1);
  EXPECT_EQ(Download("a.jpg"), kDownloadStopped);
  EXPECT_FALSE(Exists("out.jpg"));
}

// A session that delivers scripted blocks, to place a stop request exactly between
// the last block and the end of the body.
class ScriptedSession final : public ImageSession {
 public:
  static inline std::atomic<int32_t>* stopAfterBlocks = nullptr;
  static inline int blocks = 0;
  static std::unique_ptr<ImageSession> Open(const std::wstring& agent) {
    EXPECT_EQ(agent, L"Rovanta FeedReader");
    return std::make_unique<ScriptedSession>();
  }
  ImageFetchResult Get(const ParsedUrl&, const std::atomic<int32_t>*, ImageSink& sink) override {
    const std::string block(kImageBlockSize, 'z');
    ImageFetchResult result;
    result.outcome = ImageFetchOutcome::kSinkDeclined;
    for (int i = 0; i < blocks; ++i) {
      if (!sink.Deliver(block.data(), block.size())) return result;
    }
    stopAfterBlocks->store(1);  // the stop arrives after the last block was read
    result.outcome = ImageFetchOutcome::kComplete;
    return result;
  }
};

TEST_F(DownloadImageTest, StopAfterTheLastBlockStillSucceeds) {
  ScriptedSession::stopAfterBlocks = &stop;
  ScriptedSession::blocks = 3;
  EXPECT_EQ(DownloadImage(L"http://h/x.jpg", InFolder("x.jpg"), &stop, &ScriptedSession::Open),
            kDownloadOk);
  EXPECT_EQ(dir.Read("x.jpg").size(), 3 * kImageBlockSize);
}

TEST(DownloadImageSession, FailureToOpenASessionEscapes) {
  const ImageSessionOpener failing = [](const std::wstring&) -> std::unique_ptr<ImageSession> {
    throw std::runtime_error("no session");
  };
  std::atomic<int32_t> stop{0};
  EXPECT_THROW(DownloadImage(L"http://h/x.jpg", L"x.jpg", &stop, failing), std::runtime_error);
}

}  // namespace
}  // namespace orvella::test
