// The feed query where libcurl decides: its error number in the transport's log line.
#include "service/orvella_client.h"
#include "tests/service/client_fixtures.h"

namespace orvella::test {
namespace {

TEST_F(QueryFeedTest, ConnectionFailureGivesTheTransportLineAndErrorText) {
  server.Stop();
  COrvellaClient client(L"", L"");
  COrvellaFeed feed = FeedWithOldItems(kFeedTypeClocks);
  EXPECT_EQ(client.QueryFeed(feed, 640, 480), 0);
  EXPECT_TRUE(feed.items.empty());
  EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error -1");
  EXPECT_EQ(LinesAfterUrl(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error 7"});
}

}  // namespace
}  // namespace orvella::test
