// The service client's fixtures: the sign-in and the feed query against the loopback
// server, shared by the portable cases and each platform's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/orvella_client.h"
#include "tests/support/service_fixture.h"

namespace orvella::test {

inline constexpr char kUserPath[] = "/api/v3/user/";
inline constexpr char kArtPath[] = "/api/v3/art/";
inline constexpr char kKey[] = "Qm3rTz8LkVb2NwYp5HsXc7Ja";

/// The sign-in request against the account endpoint of the fixture's server.
class AuthorizeTest : public ServiceTest {
 protected:
  void Answer(int status, const std::string& body) { server.Set(kUserPath, Reply{status, body}); }
};

/// The feed query against the art endpoint of the fixture's server.
class QueryFeedTest : public ServiceTest {
 protected:
  void Answer(const std::string& body, int status = 200) {
    server.Set(kArtPath, Reply{status, body});
  }
  // The log lines the query wrote after its "QueryFeed: <url>" line.
  std::vector<std::wstring> LinesAfterUrl() const {
    std::vector<std::wstring> lines = host.logs();
    EXPECT_FALSE(lines.empty());
    if (!lines.empty()) {
      EXPECT_TRUE(lines.front().starts_with(L"QueryFeed: http://"));
      lines.erase(lines.begin());
    }
    return lines;
  }
  static std::vector<std::wstring> Urls(const COrvellaFeed& feed) {
    std::vector<std::wstring> urls;
    for (const COrvellaItem& item : feed.items) urls.push_back(item.url);
    return urls;
  }
  static COrvellaFeed FeedWithOldItems(int32_t type) {
    COrvellaFeed feed(type, 10, L"");
    feed.items.push_back({L"old", L"old.jpg", L"http://old"});
    return feed;
  }
};

}  // namespace orvella::test
