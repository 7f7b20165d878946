// The art service's address: compiled in, or from the environment, and refused before any
// request when it is not an http or https URL.
#include "service/server_address.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text_utf8.h"
#include "service/orvella_client.h"
#include "tests/support/service_fixture.h"

namespace orvella::test {
namespace {

class ServerAddressTest : public ServiceTest {
 protected:
  std::string HostAndPort() const { return server.BaseUrl().substr(std::strlen("http://")); }
  int RefusalLines() const { return host.CountLogs(L"ServerBaseUrl: "); }
};

TEST_F(ServerAddressTest, CompiledDefaultUnlessTheEnvironmentSaysOtherwise) {
  ::unsetenv(kServerUrlVariable);
  EXPECT_EQ(ServerBaseUrl(), std::wstring(ORVELLA_DEFAULT_SERVER_URL));
  EXPECT_FALSE(ReadServerAddress().fromEnvironment);
  ::setenv(kServerUrlVariable, "", 1);
  EXPECT_EQ(ServerBaseUrl(), std::wstring(ORVELLA_DEFAULT_SERVER_URL));
  ::setenv(kServerUrlVariable, "http://art.example:9000", 1);
  EXPECT_EQ(ServerBaseUrl(), L"http://art.example:9000");
  EXPECT_TRUE(ReadServerAddress().fromEnvironment);
  // Read again at each call, and a trailing slash does not double the path's.
  ::setenv(kServerUrlVariable, "http://other:1/", 1);
  EXPECT_EQ(ServerBaseUrl(), L"http://other:1");
}

// The scheme may be written in any letter case; requests go out with it in lower case.
TEST_F(ServerAddressTest, SchemeInAnyLetterCaseReachesTheService) {
  server.Set("/api/v3/art/", Reply{200, R"({"art":[]})"});
  for (const std::string scheme : {"HTTP://", "Http://"}) {
    const std::string value = scheme + HostAndPort() + "/";
    ::setenv(kServerUrlVariable, value.c_str(), 1);
    const ServerAddress address = ReadServerAddress();
    EXPECT_TRUE(address.usable) << value;
    EXPECT_EQ(address.base, server.WideBaseUrl()) << value;
    COrvellaClient client(L"", L"");
    COrvellaFeed feed(kFeedTypeWallpapers, 5, L"");
    EXPECT_EQ(client.QueryFeed(feed, 1, 1), 1) << value;
  }
  EXPECT_EQ(server.RequestCount(), 2u);
  EXPECT_TRUE(ReadServerAddress().base.starts_with(L"http://"));
  ::setenv(kServerUrlVariable, "HTTPS://art.example", 1);
  EXPECT_EQ(ReadServerAddress().base, L"https://art.example");
  EXPECT_TRUE(ReadServerAddress().usable);
  EXPECT_EQ(RefusalLines(), 0);
}

// What is not an http or https URL naming a host is never sent to, whatever the HTTP
// stack would make of it: one line per client (a refresh pass, a sign-in attempt) names
// the variable, and each request fails as a URL that cannot be opened.
TEST_F(ServerAddressTest, AddressThatIsNoHttpUrlIsRefusedBeforeAnyRequest) {
  server.Set("/api/v3/art/", Reply{200, R"({"art":[]})"});
  server.Set("/api/v3/user/", Reply{200, R"({"user_token":"t"})"});
  const std::string hostAndPort = HostAndPort();
  for (const std::string& value : std::vector<std::string>{
           hostAndPort, "localhost:" + std::to_string(server.port()), "ftp://" + hostAndPort,
           "http:" + hostAndPort, "http:/" + hostAndPort, "http://", "http:///" + hostAndPort,
           "http://" + hostAndPort + " x", " http://" + hostAndPort, "http://" + hostAndPort + "\t",
           "http://\x7F" + hostAndPort, "httpx://" + hostAndPort}) {
    SCOPED_TRACE(value);
    host.ClearLogs();
    ::setenv(kServerUrlVariable, value.c_str(), 1);
    EXPECT_FALSE(ReadServerAddress().usable);
    COrvellaClient client(L"", L"");
    COrvellaFeed feed(kFeedTypeWallpapers, 5, L"");
    EXPECT_EQ(client.QueryFeed(feed, 1, 1), 0);
    EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error -1");
    EXPECT_EQ(client.QueryFeed(feed, 1, 1), 0);
    EXPECT_EQ(client.Authorize(L"a@x.org", L"p"), 0);
    EXPECT_EQ(client.token, L"");
    ASSERT_EQ(host.logs().size(), 1u);
    EXPECT_TRUE(host.logs()[0].starts_with(L"ServerBaseUrl: ORVELLA_SERVER_URL \""))
        << WideToUtf8(host.logs()[0]);
    EXPECT_TRUE(host.logs()[0].ends_with(L"\" is not an http or https URL, no request sent"));
    COrvellaClient nextPass(L"", L"");
    EXPECT_EQ(nextPass.QueryFeed(feed, 1, 1), 0);
    EXPECT_EQ(RefusalLines(), 2);
  }
  EXPECT_EQ(server.RequestCount(), 0u);
  // A control character is shown as '?': the line stays one line.
  host.ClearLogs();
  ::setenv(kServerUrlVariable, "127.0.0.1\n:8780", 1);
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 5, L"");
  client.QueryFeed(feed, 1, 1);
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"ServerBaseUrl: ORVELLA_SERVER_URL "
                                                   L"\"127.0.0.1?:8780\" is not an http or "
                                                   L"https URL, no request sent"});
}

}  // namespace
}  // namespace orvella::test
