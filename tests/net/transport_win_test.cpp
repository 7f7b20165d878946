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
#include "tests/support/service_fixture.h"

namespace orvella::test {
namespace {

class WinInetTransport : public ServiceTest {
 protected:
  int32_t Fetch(const std::wstring& url, std::string* data = nullptr) {
    char* block = nullptr;
    uint32_t length = 0;
    const int32_t code = FetchUrl(url, block, length);
    if (data != nullptr) data->assign(block != nullptr ? block : "", length);
    std::free(block);
    return code;
  }
  std::wstring Url(const std::string& path) const {
    return server.WideBaseUrl() + std::wstring(path.begin(), path.end());
  }
};

TEST_F(WinInetTransport, OpenFailuresLogWinInetErrorNumbers) {
  LoopbackServer closed;
  const std::wstring refused = closed.WideBaseUrl() + L"/x";
  closed.Stop();
  COrvellaClient client(L"", L"");
  std::string body;
  EXPECT_EQ(client.QueryServer(refused, body), -1);
  EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error -1");
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error 12029"});

  // Other schemes are refused before anything is sent, as an unrecognised scheme.
  const std::wstring hostPart = server.WideBaseUrl().substr(7);
  const std::vector<std::wstring> others = {L"ftp://" + hostPart + L"/x",
                                            L"file:///C:/windows/win.ini", hostPart + L"/x"};
  for (const std::wstring& url : others) {
    host.ClearLogs();
    EXPECT_EQ(Fetch(url), -1);
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error 12006"});
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(WinInetTransport, BodyCutShortIsAReadFailureWithNoBlock) {
  for (std::size_t sent : {std::size_t{0}, std::size_t{1000}, std::size_t{200000}}) {
    SCOPED_TRACE(sent);
    host.ClearLogs();
    Reply reply{200, std::string(300000, 'x'), "application/octet-stream"};
    reply.closeAfter = sent;
    server.Set("/cut", reply);
    char* block = reinterpret_cast<char*>(0x1);
    uint32_t length = 77;
    EXPECT_EQ(FetchUrl(Url("/cut"), block, length), -2);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{
                               L"InternetReadWholeFile: error 12031 returned by InternetReadFile"});
  }
}

TEST_F(WinInetTransport, RedirectsAreFollowedByTheStackAndUnfollowedOnesReadAsSuccess) {
  server.Set("/target", Reply{200, "{\"followed\":true}"});
  for (int status : {301, 302}) {
    Reply redirect{status, "{\"followed\":false}"};
    redirect.headers = {{"Location", server.BaseUrl() + "/target"}};
    server.Set("/moved", redirect);
    std::string body;
    EXPECT_EQ(Fetch(Url("/moved"), &body), 0) << status;
    EXPECT_EQ(body, "{\"followed\":true}") << status;
  }
  // Without a place to go the redirect is the answer, and its body is read.
  server.Set("/nowhere", Reply{302, "{\"followed\":false}"});
  std::string body;
  EXPECT_EQ(Fetch(Url("/nowhere"), &body), 0);
  EXPECT_EQ(body, "{\"followed\":false}");
  EXPECT_TRUE(host.logs().empty());
}

TEST_F(WinInetTransport, TypedTextGoesOutAsCodePageBytesAndCannotAddHeaderLines) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the expectations are for code page 1252";
  server.Set("/q", Reply{200, "{}"});
  EXPECT_EQ(Fetch(Url("/q?keyword=a\r\nX-Injected: 1\x7F") + L"caf\u00e9\u20ac\u0100"), 0);
  const ReceivedRequest request = server.LastRequest();
  EXPECT_EQ(request.target,
            "/q?keyword=a%0D%0AX-Injected:%201%7Fcaf\xE9\x80"
            "A");
  EXPECT_EQ(request.Header("X-Injected"), "");
}

}  // namespace
}  // namespace orvella::test
