// Refresh: which feeds are due (across the tick counter's wrap), what a query changes,
// the monitor size it asks for, and results that arrive after the feeds were replaced.
#include <json/json.h>
#include <stdlib.h>

#include "tests/engine/art_server_fixture.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

int g_monitorCalls = 0;
std::vector<DisplayRect> TwoMonitors() {
  ++g_monitorCalls;
  return {{0, 0, 1920, 1200}, {1920, 0, 4480, 1080}};
}

class RefreshTest : public EngineTest {
 protected:
  RefreshTest() {
    ::setenv("ORVELLA_SERVER_URL", server.Url().c_str(), 1);
    engine.tickCount = [this] { return tick; };
    engine.monitors = &TwoMonitors;
    g_monitorCalls = 0;
    server.SetImage("a.jpg", "a");
    server.SetCatalog(1, {"a.jpg", "b.jpg"});
    server.SetCatalog(2, {"c.jpg"});
  }
  void AddFeed(int32_t type, uint32_t flags = kFeedEnabled) {
    COrvellaFeed feed(type, 20, L"");
    feed.Flg = flags;
    engine.feeds.Add(feed);
  }
  ArtServer server;
  uint32_t tick = 1000;
};

TEST_F(RefreshTest, FeedIsDueOnlyAfterItsIntervalAcrossTheTickWrap) {
  AddFeed(1);
  tick = 0xFFFFFFFFu - 5000;  // the counter is about to wrap
  engine.Refresh();
  ASSERT_EQ(server.ArtRequests(1), 1);
  EXPECT_EQ(engine.feeds[0].lastTm, tick);
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=0, retries=0"));

  tick += 86400000u;  // exactly 24 hours later, after the wrap: not yet due
  engine.Refresh();
  EXPECT_EQ(server.ArtRequests(1), 1);
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=-5001, retries=0"));  // logged as signed

  tick += 1;
  engine.Refresh();
  EXPECT_EQ(server.ArtRequests(1), 2);
  EXPECT_EQ(engine.feeds[0].lastTm, tick);

  app.tmUpdate = 0;  // an interval of 0: due at every pass with a moved tick
  engine.Refresh();
  EXPECT_EQ(server.ArtRequests(1), 2);
  tick += 1;
  engine.Refresh();
  EXPECT_EQ(server.ArtRequests(1), 3);
}

TEST_F(RefreshTest, SuccessQueuesTheItemsAndMarksTheFeed) {
  AddFeed(1, kFeedEnabled | 0x40);  // other bits are carried
  AddFeed(3, 0x10000);              // disabled: no line, no query
  AddFeed(2);
  engine.feeds[0].retries = 4;
  engine.Refresh();
  const COrvellaFeed& wall = engine.feeds[0];
  EXPECT_EQ(wall.retries, 0);
  EXPECT_EQ(wall.Flg, kFeedEnabled | 0x40 | kFeedQueried);
  EXPECT_EQ(wall.items.size(), 2u);
  ASSERT_EQ(engine.queue.size(), 3u);
  EXPECT_EQ(engine.queue.front().url, server.ImageUrl("a.jpg"));
  EXPECT_EQ(engine.queue.back().url, server.ImageUrl("c.jpg"));
  EXPECT_EQ(host.CountLogs(L"Refresh 1:"), 0);
  EXPECT_EQ(server.ArtRequests(1), 1);  // feed 1 is type 3, asked as wallpapers if enabled
  EXPECT_TRUE(host.Logged(L"     2 Items found"));
  EXPECT_TRUE(host.Logged(L"     2 Items queued to download"));
  EXPECT_TRUE(host.Logged(L"     1 Items found"));
  EXPECT_TRUE(host.Logged(L"     3 Items queued to download"));
}

TEST_F(RefreshTest, FailingFeedIsCountedAndAskedAgainEveryPass) {
  AddFeed(1);
  server.SetArtAnswer(1, [] { return ArtAnswer{500, "oops"}; });
  for (int pass = 0; pass < 3; ++pass) engine.Refresh();
  EXPECT_EQ(server.ArtRequests(1), 3);
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=0, retries=2"));
  EXPECT_EQ(engine.feeds[0].retries, 3);
  EXPECT_EQ(engine.feeds[0].lastTm, 0u);
  EXPECT_EQ(engine.feeds[0].Flg & kFeedQueried, 0u);
  EXPECT_TRUE(engine.queue.empty());

  // An answer of the wrong shape ends the pass with the JSON library's error; the
  // feed's counters stay as they were.
  server.SetArtAnswer(1, [] { return ArtAnswer{200, R"({"art":[{"wall_url":5}]})"}; });
  EXPECT_THROW(engine.Refresh(), Json::Exception);
  EXPECT_EQ(engine.feeds[0].retries, 3);
  EXPECT_EQ(engine.feeds[0].lastTm, 0u);
}

TEST_F(RefreshTest, LargestMonitorIsAskedOncePerPassAndOnlyWhenAFeedIsDue) {
  AddFeed(1);
  AddFeed(2);
  engine.Refresh();
  EXPECT_EQ(g_monitorCalls, 1);
  const auto queries = server.ArtQueries();
  ASSERT_EQ(queries.size(), 2u);
  for (const std::string& q : queries) {
    const bool clock = q.find("has_clock") != std::string::npos;
    EXPECT_NE(q.find(clock ? "clock_width=1920" : "wall_width=1920"), std::string::npos) << q;
    EXPECT_NE(q.find(clock ? "clock_height=1200" : "wall_height=1200"), std::string::npos) << q;
  }
  engine.Refresh();  // nothing due
  EXPECT_EQ(g_monitorCalls, 1);
  EXPECT_EQ(host.CountLogs(L"Refresh "), 4);
}

TEST_F(RefreshTest, ResultForAReplacedFeedArrayIsDropped) {
  AddFeed(1);
  server.SetArtAnswer(1, [this] {
    // The host's thread loads the settings while the query runs.
    std::lock_guard<std::mutex> guard(engine.lock);
    engine.feeds.RemoveAll();
    engine.feeds.Add(COrvellaFeed(2, 5, L"other"));
    ++engine.feedsGeneration;
    return ArtAnswer{200, ArtJson({{"a", "http://h/a.jpg"}}, "wall_url")};
  });
  engine.Refresh();
  EXPECT_TRUE(engine.queue.empty());
  EXPECT_EQ(engine.feeds[0].lastTm, 0u);
  EXPECT_EQ(engine.feeds[0].retries, 0);
  EXPECT_EQ(engine.feeds[0].Tags, L"other");
}

}  // namespace
}  // namespace orvella::test
