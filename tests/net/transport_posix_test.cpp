// The service transport where libcurl decides: its error numbers in the log lines,
// redirects it is told not to follow, schemes it refuses itself, code page bytes for
// characters outside the code page, and the proxy from http_proxy. The answer of the
// largest size is read here only: it takes half a minute over Wine's sockets.
#include <stdlib.h>

#include "service/orvella_client.h"
#include "tests/net/transport_fixture.h"

namespace orvella::test {
namespace {

TEST_F(TransportTest, RedirectStatusesAreReadAsSuccessAndNotFollowed) {
  for (int status : {301, 302}) {
    SCOPED_TRACE(status);
    server.ClearRequests();
    server.Set("/moved", Reply{status,
                               "{\"moved\":true}",
                               "application/json",
                               {{"Location", server.BaseUrl() + "/elsewhere"}}});
    server.Set("/elsewhere", Reply{200, "{\"followed\":true}"});
    COrvellaClient client(L"", L"");
    std::string body;
    EXPECT_EQ(client.QueryServer(Url("/moved"), body), 0);
    EXPECT_EQ(body, "{\"moved\":true}");
    EXPECT_EQ(server.RequestCount(), 1u);
  }
}

TEST_F(TransportTest, OnlyHttpAndHttpsUrlsAreOpened) {
  const std::wstring hostPart = server.WideBaseUrl().substr(7);  // "127.0.0.1:PORT"
  const std::wstring urls[] = {L"ftp://" + hostPart + L"/x", L"file:///etc/passwd",
                               hostPart + L"/x", L""};
  for (const std::wstring& url : urls) {
    SCOPED_TRACE(std::string(url.begin(), url.end()));
    host.ClearLogs();
    Fetched fetched = Fetch(url);
    EXPECT_EQ(fetched.code, -1);
    EXPECT_EQ(fetched.block, nullptr);
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error 1"});
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(TransportTest, RefusedConnectionFailsToOpen) {
  ExpectRefusedConnectionFailsToOpen(7);  // CURLE_COULDNT_CONNECT
}

TEST_F(TransportTest, ConnectionDroppedInTheBodyIsAReadFailureWithNoBlock) {
  ExpectCutBodiesFailToRead(18);  // CURLE_PARTIAL_FILE
}

TEST_F(TransportTest, TypedTextGoesOutAsCodePageBytesAndCannotAddHeaderLines) {
  server.Set("/q", Reply{200, "{}"});
  EXPECT_EQ(Fetch(Url("/q?keyword=a\r\nX-Injected: 1\x7F") + L"caf\u00e9\u20ac\u0100").code, 0);
  const ReceivedRequest request = server.LastRequest();
  EXPECT_EQ(request.target, "/q?keyword=a%0D%0AX-Injected:%201%7Fcaf\xE9\x80?");
  EXPECT_EQ(request.Header("X-Injected"), "");
}

TEST_F(TransportTest, ProxyFromTheEnvironmentIsUsed) {
  // The loopback server plays the proxy: it receives the absolute URL of a host that
  // does not resolve.
  server.Set("http://orvella.invalid/through-proxy", Reply{200, "{\"via\":\"proxy\"}"});
  ::unsetenv("no_proxy");
  ::unsetenv("NO_PROXY");
  ::setenv("http_proxy", server.BaseUrl().c_str(), 1);
  COrvellaClient client(L"", L"");
  std::string body;
  const int32_t code = client.QueryServer(L"http://orvella.invalid/through-proxy", body);
  ::unsetenv("http_proxy");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(body, "{\"via\":\"proxy\"}");
  EXPECT_EQ(server.LastRequest().target, "http://orvella.invalid/through-proxy");
}

// The answer's size limit, both sides: the limit itself is read, one byte more fails like
// a body that cannot grow, whether its length was announced or not.
TEST_F(TransportTest, AnswersUpToTheLimitAreReadAndLongerOnesFail) {
  Reply largest{200, ""};
  largest.generatedSize = kMaxServiceAnswer;
  server.Set("/largest", largest);
  Fetched fetched = Fetch(Url("/largest"));
  EXPECT_EQ(fetched.code, kFetchOk);
  EXPECT_EQ(fetched.length, kMaxServiceAnswer);
  fetched.block.reset();
  EXPECT_TRUE(host.logs().empty());
  ExpectOverTheLimitFails(/*chunked=*/true);
}

}  // namespace
}  // namespace orvella::test
