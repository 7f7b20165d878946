// The service transport against real loopback servers: result codes, log lines, the
// body block and the client's error text.
#include <malloc.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "base/text_utf8.h"
#include "net/http_fetch.h"
#include "service/orvella_client.h"
#include "tests/net/transport_fixture.h"
#include "tests/support/stalled_service.h"

namespace orvella::test {
namespace {

TEST_F(TransportTest, EmptyBodyGivesNoBlockAndLeavesTheBodyEmpty) {
  server.Set("/empty", Reply{200, ""});
  Fetched fetched = Fetch(Url("/empty"));
  EXPECT_EQ(fetched.code, 0);
  EXPECT_EQ(fetched.block, nullptr);
  EXPECT_EQ(fetched.length, 0u);

  COrvellaClient client(L"", L"");
  std::string body;
  EXPECT_EQ(client.QueryServer(Url("/empty"), body), 0);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(client.errorText.empty());
  EXPECT_TRUE(host.logs().empty());
}

TEST_F(TransportTest, BlockHoldsTheDataAndExactlyOneNulByte) {
  for (std::size_t size : {std::size_t{1}, std::size_t{1023}, std::size_t{1024}, std::size_t{1025},
                           std::size_t{3} << 20}) {
    SCOPED_TRACE(size);
    // With its length announced (the block is allocated at once) and without (it grows).
    for (bool chunked : {false, true}) {
      SCOPED_TRACE(chunked ? "chunked" : "announced");
      const std::string data = RandomBytes(size, static_cast<unsigned>(size));
      Reply reply{200, data, "application/octet-stream"};
      reply.chunked = chunked;
      server.Set("/data", reply);
      Fetched fetched = Fetch(Url("/data"));
      ASSERT_EQ(fetched.code, 0);
      ASSERT_EQ(fetched.length, size);
      ASSERT_NE(fetched.block, nullptr);
      EXPECT_EQ(std::memcmp(fetched.block.get(), data.data(), size), 0);
      EXPECT_EQ(fetched.block.get()[size], '\0');
#ifdef __SANITIZE_ADDRESS__
      // AddressSanitizer's allocator reports the size asked for: the block is exact.
      EXPECT_EQ(malloc_usable_size(fetched.block.get()), size + 1);
#else
      EXPECT_GE(malloc_usable_size(fetched.block.get()), size + 1);
#endif
    }
  }
}

TEST_F(TransportTest, JsonReaderGetsTheBodyOnlyUpToItsFirstNulByte) {
  const std::string body("{\"a\":1}\0{\"b\":2}", 15);
  server.Set("/nul", Reply{200, body});
  Fetched fetched = Fetch(Url("/nul"));
  EXPECT_EQ(fetched.code, 0);
  EXPECT_EQ(fetched.length, 15u);

  COrvellaClient client(L"", L"");
  std::string received;
  EXPECT_EQ(client.QueryServer(Url("/nul"), received), 0);
  EXPECT_EQ(received, "{\"a\":1}");
}

TEST_F(TransportTest, RefusedStatusIsTheResultWithItsLogLineAndErrorText) {
  for (int status : {404, 500, 204, 303}) {
    SCOPED_TRACE(status);
    host.ClearLogs();
    server.Set("/status", Reply{status, "not for the JSON reader", "text/plain"});
    Fetched fetched = Fetch(Url("/status"));
    EXPECT_EQ(fetched.code, status);
    EXPECT_EQ(fetched.block, nullptr);
    EXPECT_EQ(fetched.length, 0u);

    COrvellaClient client(L"", L"");
    std::string body = "untouched";
    EXPECT_EQ(client.QueryServer(Url("/status"), body), status);
    EXPECT_EQ(body, "untouched");
    EXPECT_EQ(client.errorText,
              L"Connection to Orvella server failed with error " + std::to_wstring(status));
    const std::wstring line =
        L"HttpQueryInfo()  error returned by server: " + std::to_wstring(status);
    EXPECT_EQ(host.logs(), (std::vector<std::wstring>{line, line}));
  }
}

TEST_F(TransportTest, SchemeIsRecognisedInAnyLetterCase) {
  server.Set("/missing", Reply{404, "gone", "text/plain"});
  const std::wstring hostPart = server.WideBaseUrl().substr(4);  // "://127.0.0.1:PORT"
  EXPECT_EQ(Fetch(L"HTTP" + hostPart + L"/missing").code, 404);
  EXPECT_EQ(Fetch(L"hTtP" + hostPart + L"/missing").code, 404);

  // Mixed-case https goes to TLS (which a plain server cannot speak), not to a refusal of
  // the scheme.
  host.ClearLogs();
  EXPECT_EQ(Fetch(L"Https" + hostPart + L"/missing").code, -1);
  ASSERT_EQ(host.logs().size(), 1u);
  EXPECT_TRUE(host.logs()[0].starts_with(L"InternetOpenUrl() failed, error "));
  EXPECT_NE(host.logs()[0], L"InternetOpenUrl() failed, error 1");
}

// The answer's status and Retry-After reach the caller beside the result code, for its
// decision when to ask again; the result codes stay the transport's own.
TEST_F(TransportTest, AnswerStatusAndRetryAfterReachTheCaller) {
  const std::string longValue(kMaxRetryAfterText + 1, '7');
  server.Set("/busy", Reply{503, "busy", "text/plain", {{"Retry-After", "120"}}});
  server.Set(
      "/limited",
      Reply{
          429, "slow down", "text/plain", {{"retry-after", "  Sun, 06 Nov 1994 08:49:37 GMT  "}}});
  server.Set("/long", Reply{503, "", "text/plain", {{"Retry-After", longValue}}});
  server.Set("/fine", Reply{200, "{}", "application/json", {{"Retry-After", "5"}}});
  const std::string longest = "Sunday, 06-Nov-94 08:49:37 GMT" + std::string(33, ' ') + "x";
  server.Set("/longest", Reply{503, "", "text/plain", {{"Retry-After", longest}}});
  server.Set("/missing", Reply{404, "gone", "text/plain"});
  const struct {
    const char* path;
    int32_t code;
    FetchReply reply;
  } cases[] = {
      {"/busy", 503, {503, "120"}},      {"/limited", 429, {429, "Sun, 06 Nov 1994 08:49:37 GMT"}},
      {"/long", 503, {503, ""}},  // cut short it could read as another value
      {"/longest", 503, {503, longest}}, {"/fine", 0, {200, "5"}},
      {"/missing", 404, {404, ""}}};
  COrvellaClient client(L"", L"");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    char* block = nullptr;
    uint32_t length = 0;
    FetchReply reply{1, "stale"};
    EXPECT_EQ(FetchUrlWatched(Url(c.path), FetchWatch{}, block, length, &reply), c.code);
    std::free(block);
    EXPECT_EQ(reply.status, c.reply.status);
    EXPECT_EQ(reply.retryAfter, c.reply.retryAfter);
    std::string body;
    EXPECT_EQ(client.QueryServer(Url(c.path), body), c.code);
    EXPECT_EQ(client.reply.status, c.reply.status);
    EXPECT_EQ(client.reply.retryAfter, c.reply.retryAfter);
  }
  // No answer at all: no status, and nothing of the previous answer is left.
  LoopbackServer closed;
  const std::wstring refused = closed.WideBaseUrl() + L"/x";
  closed.Stop();
  std::string body;
  EXPECT_EQ(client.QueryServer(refused, body), kFetchOpenFailed);
  EXPECT_EQ(client.reply.status, 0);
  EXPECT_EQ(client.reply.retryAfter, "");
}

TEST_F(TransportTest, LaterSuccessEmptiesTheErrorText) {
  server.Set("/bad", Reply{503, "busy", "text/plain"});
  server.Set("/good", Reply{200, "{}"});
  COrvellaClient client(L"tok", L"user");
  std::string body;
  EXPECT_EQ(client.QueryServer(Url("/bad"), body), 503);
  EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error 503");
  EXPECT_EQ(client.QueryServer(Url("/good"), body), 0);
  EXPECT_TRUE(client.errorText.empty());
  EXPECT_EQ(body, "{}");
  EXPECT_EQ(client.token, L"tok");
  EXPECT_EQ(client.userName, L"user");
}

TEST_F(TransportTest, RequestIsAPlainUncachedGetFromInternetExplorer) {
  server.Set("/api/v3/art/", Reply{200, "{}"});
  Fetch(Url("/api/v3/art/?client=K&email=a+b&c@x.org&keyword=sea sky,%41"));
  const ReceivedRequest request = server.LastRequest();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.Header("User-Agent"), "Internet Explorer");
  EXPECT_EQ(request.Header("Pragma"), "no-cache");
  EXPECT_EQ(request.Header("Content-Length"), "");
  // Nothing is escaped but the blank, which a request line cannot carry raw.
  EXPECT_EQ(request.target, "/api/v3/art/?client=K&email=a+b&c@x.org&keyword=sea%20sky,%41");
}

// A request left waiting at each point ends, as a failure of the transport, on its stop
// flag and on its time limit.
class TransportStallTest : public ServiceTest, public ::testing::WithParamInterface<StallPoint> {
 protected:
  Fetched FetchWatched(const std::wstring& url, const FetchWatch& watch) {
    char* block = reinterpret_cast<char*>(0x1);
    uint32_t length = 77;
    const int32_t code = FetchUrlWatched(url, watch, block, length);
    return {code, Block(block), length};
  }
  // The one log line of a request ended at this stall point with `error`.
  std::wstring EndLine(int32_t error) const {
    return AfterHeaders(GetParam()) ? L"InternetReadWholeFile: error " + std::to_wstring(error) +
                                          L" returned by InternetReadFile"
                                    : L"InternetOpenUrl() failed, error " + std::to_wstring(error);
  }
  int32_t EndCode() const { return AfterHeaders(GetParam()) ? kFetchReadFailed : kFetchOpenFailed; }
};

TEST_P(TransportStallTest, StopEndsTheRequest) {
  StalledService stalled(GetParam(), "/answer");
  std::atomic<int32_t> stop{0};
  std::thread stopper([&] {
    stalled.WaitUntilStalled();
    stop.store(1);
  });
  FetchWatch watch;
  watch.stop = &stop;
  const Fetched fetched = FetchWatched(Utf8ToWide(stalled.BaseUrl()) + L"/answer", watch);
  stopper.join();
  EXPECT_EQ(fetched.code, EndCode());
  EXPECT_EQ(fetched.block, nullptr);
  EXPECT_EQ(fetched.length, 0u);
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{EndLine(kFetchStoppedError)});
}

TEST_P(TransportStallTest, TimeLimitEndsTheRequest) {
  StalledService stalled(GetParam(), "/answer");
  FetchWatch watch;
  watch.limit = std::chrono::seconds(2);
  const Fetched fetched = FetchWatched(Utf8ToWide(stalled.BaseUrl()) + L"/answer", watch);
  EXPECT_EQ(fetched.code, EndCode());
  EXPECT_EQ(fetched.block, nullptr);
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{EndLine(kFetchTimedOutError)});
}

INSTANTIATE_TEST_SUITE_P(EachStallPoint, TransportStallTest, ::testing::ValuesIn(kStallPoints),
                         [](const auto& info) { return StallName(info.param); });

TEST_F(TransportTest, StopSetBeforehandSendsNothingAndADripThatEndsIsReadWhole) {
  std::atomic<int32_t> stop{1};
  FetchWatch watch;
  watch.stop = &stop;
  char* block = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(FetchUrlWatched(Url("/x"), watch, block, length), kFetchOpenFailed);
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error " +
                                                   std::to_wstring(kFetchStoppedError)});

  // Slow, but finite: well within the time limit.
  Reply slow{200, "{\"art\":[]}"};
  slow.dripEvery = std::chrono::milliseconds(20);
  server.Set("/slow", slow);
  stop.store(0);
  EXPECT_EQ(FetchUrlWatched(Url("/slow"), watch, block, length), kFetchOk);
  EXPECT_EQ(std::string(block, length), "{\"art\":[]}");
  std::free(block);
}

TEST_F(TransportTest, AnswerAnnouncedOverTheLimitFailsBeforeItIsRead) {
  ExpectOverTheLimitFails(/*chunked=*/false);
}

}  // namespace
}  // namespace orvella::test
