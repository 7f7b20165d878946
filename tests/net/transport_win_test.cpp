// The service transport over WinINet where it differs from the curl build: WinINet's
// error numbers in the log lines, redirects followed by the stack, and typed text sent as
// the bytes WideCharToMultiByte gives with no flags.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/http_fetch.h"
#include "service/orvella_client.h"
#include "tests/net/transport_fixture.h"

namespace orvella::test {
namespace {

class WinInetTransport : public TransportTest {
 protected:
  // Fetches `url` into `data` (when given); returns the fetch's result.
  int32_t FetchText(const std::wstring& url, std::string* data = nullptr) {
    const Fetched fetched = Fetch(url);
    if (data != nullptr) data->assign(fetched.block ? fetched.block.get() : "", fetched.length);
    return fetched.code;
  }
};

TEST_F(WinInetTransport, OpenFailuresLogWinInetErrorNumbers) {
  ExpectRefusedConnectionFailsToOpen(12029);  // ERROR_INTERNET_CANNOT_CONNECT

  // Other schemes are refused before anything is sent, as an unrecognised scheme.
  const std::wstring hostPart = server.WideBaseUrl().substr(7);
  const std::vector<std::wstring> others = {L"ftp://" + hostPart + L"/x",
                                            L"file:///C:/windows/win.ini", hostPart + L"/x"};
  for (const std::wstring& url : others) {
    host.ClearLogs();
    EXPECT_EQ(FetchText(url), -1);
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error 12006"});
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(WinInetTransport, BodyCutShortIsAReadFailureWithNoBlock) {
  ExpectCutBodiesFailToRead(12031);  // ERROR_INTERNET_CONNECTION_RESET
}

TEST_F(WinInetTransport, RedirectsAreFollowedByTheStackAndUnfollowedOnesReadAsSuccess) {
  server.Set("/target", Reply{200, "{\"followed\":true}"});
  for (int status : {301, 302}) {
    Reply redirect{status, "{\"followed\":false}"};
    redirect.headers = {{"Location", server.BaseUrl() + "/target"}};
    server.Set("/moved", redirect);
    std::string body;
    EXPECT_EQ(FetchText(Url("/moved"), &body), 0) << status;
    EXPECT_EQ(body, "{\"followed\":true}") << status;
  }
  // Without a place to go the redirect is the answer, and its body is read.
  server.Set("/nowhere", Reply{302, "{\"followed\":false}"});
  std::string body;
  EXPECT_EQ(FetchText(Url("/nowhere"), &body), 0);
  EXPECT_EQ(body, "{\"followed\":false}");
  EXPECT_TRUE(host.logs().empty());
}

TEST_F(WinInetTransport, TypedTextGoesOutAsCodePageBytesAndCannotAddHeaderLines) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the expectations are for code page 1252";
  server.Set("/q", Reply{200, "{}"});
  EXPECT_EQ(FetchText(Url("/q?keyword=a\r\nX-Injected: 1\x7F") + L"caf\u00e9\u20ac\u0100"), 0);
  const ReceivedRequest request = server.LastRequest();
  EXPECT_EQ(request.target,
            "/q?keyword=a%0D%0AX-Injected:%201%7Fcaf\xE9\x80"
            "A");
  EXPECT_EQ(request.Header("X-Injected"), "");
}

}  // namespace
}  // namespace orvella::test
