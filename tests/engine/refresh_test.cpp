// Refresh: which feeds are due (across the tick counter's wrap, for every interval the
// settings accept), what a query changes, the monitor size it asks for, and results that
// arrive after the feeds were replaced.
#include <stdlib.h>

#include <thread>

#include "service/answer_error.h"
#include "tests/support/engine_fixture.h"

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
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    engine.tickCount = [this] { return tick; };
    engine.monitors = &TwoMonitors;
    g_monitorCalls = 0;
    art.SetCatalog(1, {"a.jpg", "b.jpg"});
    art.SetCatalog(2, {"c.jpg"});
  }
  void AddFeed(int32_t type, uint32_t flags = kFeedEnabled) {
    COrvellaFeed feed(type, 20, L"");
    feed.Flg = flags;
    engine.feeds.Add(feed);
  }
  ArtService art;
  uint64_t tick = 1000;
};

TEST_F(RefreshTest, FeedIsDueOnlyAfterItsIntervalAcrossTheTickWrap) {
  AddFeed(1);
  tick = 0xFFFFFFFFu - 5000;  // the 32-bit counter is about to wrap
  engine.Refresh();
  EXPECT_EQ(engine.feeds[0].lastTm, 0xFFFFFFFFu - 5000);
  tick += 86400000u;  // 24 hours later, past the wrap: not yet due
  engine.Refresh();
  EXPECT_EQ(art.ArtRequests(1), 1);
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=-5001, retries=0"));  // logged as signed
  tick += 1;
  engine.Refresh();
  EXPECT_EQ(art.ArtRequests(1), 2);
  EXPECT_EQ(engine.feeds[0].lastTm, static_cast<uint32_t>(tick));  // the low 32 bits
}

// The settings accept up to 9,999,999 minutes (19 years): an interval in 32-bit
// milliseconds would wrap above 71,582 minutes (71,583 would ask every 12.7 seconds).
TEST_F(RefreshTest, IntervalsBeyondTheTickCounterDoNotWrap) {
  for (const int32_t minutes : {71582, 71583, 9999999}) {
    SCOPED_TRACE(minutes);
    engine.feeds.RemoveAll();
    AddFeed(1);
    ++engine.feedsGeneration;
    owner.tmUpdate = minutes;
    const uint64_t interval = uint64_t{60000} * static_cast<uint64_t>(minutes);
    const uint64_t start = 0xFFFFFFFFull - 5000;  // the low 32 bits wrap soon
    tick = start;
    const int before = art.ArtRequests(1);
    engine.Refresh();
    for (const uint64_t later : {uint64_t{12705}, interval}) {
      tick = start + later;
      engine.Refresh();
    }
    EXPECT_EQ(art.ArtRequests(1) - before, 1);
    tick = start + interval + 1;
    engine.Refresh();
    EXPECT_EQ(art.ArtRequests(1) - before, 2);
    EXPECT_EQ(engine.feeds[0].lastTm, static_cast<uint32_t>(tick));
  }
}

TEST_F(RefreshTest, IntervalOfZeroOrLessAsksEachFeedOnlyOnce) {
  for (const int32_t minutes : {1, 0, -1}) {
    engine.feeds.RemoveAll();  // fresh feeds, as after loading the settings
    AddFeed(1);
    owner.tmUpdate = minutes;
    const int before = art.ArtRequests(1);
    engine.Refresh();
    tick += 60000;  // exactly one minute: not yet past a 1-minute interval
    engine.Refresh();
    tick += 1;
    engine.Refresh();
    tick += 86400000;
    engine.Refresh();
    EXPECT_EQ(art.ArtRequests(1) - before, minutes > 0 ? 3 : 1) << minutes;
  }
  EXPECT_EQ(engine.queue.size(), 2u * 3 + 2 + 2);
}

// The worker runs a pass before every download: with nothing due, a pass must not touch
// the feeds' items, however many there are.
TEST_F(RefreshTest, PassCopiesEachFoundItemOnceAndNothingWhenNoFeedIsDue) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back(std::to_string(i) + ".jpg");
  art.SetCatalog(1, names);
  AddFeed(1);
  AddFeed(2);
  uint64_t copies = COrvellaItem::Copies();
  engine.Refresh();
  EXPECT_EQ(COrvellaItem::Copies() - copies, 301u);  // the queue's copy of each item
  ASSERT_EQ(engine.queue.size(), 301u);
  ASSERT_EQ(engine.feeds[0].items.size(), 300u);
  copies = COrvellaItem::Copies();
  for (int pass = 0; pass < 5; ++pass) {
    tick += 1000;
    engine.Refresh();
  }
  EXPECT_EQ(COrvellaItem::Copies(), copies);
  EXPECT_EQ(engine.queue.size(), 301u);
  EXPECT_EQ(art.ArtRequests(1), 1);
}

TEST_F(RefreshTest, SuccessQueuesTheItemsAndMarksTheFeed) {
  AddFeed(1, kFeedEnabled | 0x40);  // other bits are carried
  AddFeed(1, 0x10000);              // disabled: no line, no query
  AddFeed(2);
  engine.feeds[0].retries = 4;
  engine.Refresh();
  EXPECT_EQ(engine.feeds[0].retries, 0);
  EXPECT_EQ(engine.feeds[0].Flg, kFeedEnabled | 0x40 | kFeedQueried);
  EXPECT_EQ(engine.feeds[0].items.size(), 2u);
  ASSERT_EQ(engine.queue.size(), 3u);
  EXPECT_EQ(engine.queue.back().url, art.ImageUrl("c.jpg"));
  EXPECT_EQ(host.CountLogs(L"Refresh 1:"), 0);
  EXPECT_EQ(art.ArtRequests(1), 1);
  for (const wchar_t* line : {L"     2 Items found", L"     2 Items queued to download",
                              L"     1 Items found", L"     3 Items queued to download"}) {
    EXPECT_TRUE(host.Logged(line)) << line;
  }
}

TEST_F(RefreshTest, FailingFeedIsCountedAndAskedAgainAfterItsWait) {
  AddFeed(1);
  art.SetArtAnswer(1, [] { return Reply(500, "oops"); });
  for (int pass = 0; pass < 3; ++pass) {
    engine.Refresh();
    tick += 60000;  // past each wait: 30 s, then 60 s
  }
  EXPECT_EQ(art.ArtRequests(1), 3);
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=0, retries=2"));
  EXPECT_EQ(engine.feeds[0].retries, 3);
  EXPECT_EQ(engine.feeds[0].lastTm + (engine.feeds[0].Flg & kFeedQueried), 0u);
  // An answer of the wrong shape ends the pass with the JSON library's error; the
  // feed's counters stay as they were.
  art.SetArtAnswer(1, [] { return Reply(200, R"({"art":[{"wall_url":5}]})"); });
  tick += 120000;
  EXPECT_THROW(engine.Refresh(), CServiceAnswerError);
  EXPECT_EQ(engine.feeds[0].retries, 3);
  EXPECT_TRUE(engine.queue.empty());
}

TEST_F(RefreshTest, StopEndsTheQueryAsAFailureAndThePassBeforeTheNextFeed) {
  AddFeed(1);
  AddFeed(2);
  std::atomic<int32_t> stop{0};
  art.SetArtAnswer(1, [this] {
    Reply late(200, art.Catalog(1, {"a.jpg"}));
    late.delay = std::chrono::minutes(10);
    return late;
  });
  std::thread stopper([&] {
    WaitUntil([&] { return art.server.HeldCount() == 1; });
    stop.store(1);
  });
  engine.Refresh(&stop);
  stopper.join();
  EXPECT_EQ(engine.feeds[0].retries, 1);
  EXPECT_EQ(engine.feeds[0].lastTm, 0u);
  EXPECT_TRUE(engine.queue.empty());
  EXPECT_EQ(art.ArtRequests(2), 0);
  EXPECT_EQ(host.CountLogs(L"Refresh 1:"), 0);
  engine.Refresh(&stop);  // a pass that begins stopped asks nothing
  EXPECT_EQ(art.ArtRequests(1), 1);
  EXPECT_EQ(engine.feeds[0].retries, 1);
}

TEST_F(RefreshTest, LargestMonitorIsAskedOncePerPassAndOnlyWhenAFeedIsDue) {
  AddFeed(1);
  AddFeed(2);
  engine.Refresh();
  EXPECT_EQ(g_monitorCalls, 1);
  for (const ReceivedRequest& r : art.server.requests()) {
    const std::string kind = r.target.find("has_clock") != std::string::npos ? "clock" : "wall";
    EXPECT_NE(r.target.find(kind + "_width=1920&" + kind + "_height=1200"), std::string::npos)
        << r.target;
  }
  engine.Refresh();  // nothing due
  EXPECT_EQ(g_monitorCalls, 1);
}

TEST_F(RefreshTest, ResultForAReplacedFeedArrayIsDropped) {
  AddFeed(1);
  art.SetArtAnswer(1, [this] {
    // The host's thread loads the settings while the query runs, without waiting for it.
    std::lock_guard<std::mutex> guard(engine.lock);
    engine.feeds.RemoveAll();
    engine.feeds.Add(COrvellaFeed(2, 5, L"other"));
    ++engine.feedsGeneration;
    return Reply(200, ArtJson({{"a", "http://h/a.jpg"}}, "wall_url"));
  });
  engine.Refresh();
  EXPECT_TRUE(engine.queue.empty());
  EXPECT_EQ(engine.feeds[0].lastTm, 0u);
  EXPECT_EQ(engine.feeds[0].Tags, L"other");
}

}  // namespace
}  // namespace orvella::test
