// DownloadImage against a loopback server: results, files left behind, log lines, stop
// requests, redirects and the request it sends.
#include "engine/download_image.h"

#include "tests/engine/download_image_fixture.h"

namespace orvella::test {
namespace {

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
}

// A captive portal or a proxy answers the picture's URL with a page of its own: nothing
// is kept, whatever type the page claims and however it arrives. The page that stalls
// after its first block is told from that block: the rest of a body is never waited for.
TEST_F(DownloadImageTest, PagesAndEmptyBodiesAreNotStored) {
  const std::string page = "<!DOCTYPE html>\n<html><body>Sign in to the network</body></html>";
  Reply dripped(200, "\xEF\xBB\xBF\r\n<!-- portal -->\n" + page, "application/octet-stream");
  dripped.dripEvery = std::chrono::milliseconds(1);
  Reply stalled(200, "<HTML>" + PatternBytes(1 << 20), "image/jpeg");
  stalled.stallAfter = 8192;
  Reply chunked(200, "  <html>" + PatternBytes(300000), "");
  chunked.chunked = true;
  const std::pair<const char*, Reply> answers[] = {
      {"typed.jpg", Reply(200, page, "text/html")},
      {"charset.jpg", Reply(200, PatternBytes(9000), "Text/HTML; charset=utf-8")},
      {"untyped.jpg", Reply(200, page, "")},
      {"dripped.jpg", dripped},
      {"stalled.jpg", stalled},
      {"chunked.jpg", chunked},
      {"empty.jpg", Reply(200, "", "image/jpeg")},
  };
  const wchar_t* reasons[] = {
      L"Content-Type text/html", L"Content-Type text/html", L"HTML document", L"HTML document",
      L"HTML document",          L"HTML document",          L"empty body"};
  for (std::size_t i = 0; i < std::size(answers); ++i) {
    const std::string name = answers[i].first;
    art.SetImage(name, answers[i].second);
    EXPECT_EQ(Download(name, name), kDownloadError) << name;
    EXPECT_TRUE(host.Logged(L"DownloadImage(), not a picture (" + std::wstring(reasons[i]) +
                            L"), url=" + art.ImageUrl(name)))
        << name;
  }
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), not a picture ("), 7);
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error"), 0);
  EXPECT_EQ(CountFiles(""), 0);
}

// Pictures may begin with '<' too: an SVG drawing, with or without its XML declaration
// and a comment first, and a one-byte body are kept as they came.
TEST_F(DownloadImageTest, PicturesThatBeginWithMarkupAreStored) {
  const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"><title>t</title></svg>";
  const std::pair<const char*, std::string> pictures[] = {
      {"plain.svg", svg},
      {"declared.svg", "<?xml version=\"1.0\"?>\n<!DOCTYPE svg>\n" + svg},
      {"commented.svg", "\xEF\xBB\xBF<!-- <html> in a comment -->\n" + svg},
      {"large.svg", svg + PatternBytes(300000)},
      {"one.gif", "<"},
  };
  for (const auto& [name, bytes] : pictures) {
    art.SetImage(name, Reply(200, bytes, "image/svg+xml"));
    EXPECT_EQ(Download(name, name), kDownloadOk) << name;
    EXPECT_EQ(dir.Read(name), bytes) << name;
  }
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), not a picture"), 0);
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
