// A failing feed backs off: driven as the worker drives the engine (a refresh pass, then
// one download step), against a local art service, on an injected tick.
#include <stdlib.h>

#include <string>

#include "service/answer_error.h"
#include "tests/support/engine_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

std::vector<DisplayRect> OneMonitor() {
  return {{0, 0, 800, 600}};
}

// 1994-11-06 08:49:37 UTC, the calendar time the dates of the answers are read against.
constexpr int64_t kCalendarNow = 784111777;

class FeedBackoffTest : public EngineTest {
 protected:
  FeedBackoffTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    engine.tickCount = [this] { return tick; };
    engine.monitors = &OneMonitor;
    engine.backoff.calendarSeconds = [] { return kCalendarNow; };
    for (const char* name : {"c1.jpg", "c2.jpg", "c3.jpg", "c4.jpg", "c5.jpg"})
      art.SetImage(name, name);
  }
  /// Fresh feeds, as after loading the settings: `types` in their order, all enabled.
  void SetFeeds(std::initializer_list<int32_t> types) {
    engine.feeds.RemoveAll();
    for (const int32_t type : types) engine.feeds.Add(COrvellaFeed(type, 20, L""));
    ++engine.feedsGeneration;
  }
  /// The wallpaper feed answers `status`, with a Retry-After of `retryAfter` unless null.
  void FailWallpapers(int status, const char* retryAfter = nullptr) {
    Reply::Headers headers;
    if (retryAfter != nullptr) headers.emplace_back("Retry-After", retryAfter);
    art.SetArtAnswer(1, [=] { return Reply(status, "busy", "text/plain", headers); });
  }
  /// One turn of the worker's loop; returns what the download step returned.
  int32_t Pass() {
    engine.Refresh();
    return engine.DownloadNext(nullptr);
  }
  /// Passes until the download step finds the queue empty, `step` of ticks apart.
  void RunBatch(milliseconds step) {
    while (Pass() != 0) tick += static_cast<uint64_t>(step.count());
  }
  /// Checks that the wallpaper feed, which last failed at `failedAt`, is left alone by an
  /// idle pass one millisecond before `wait` has passed and asked by one when it has.
  /// Returns the tick of that query.
  uint64_t ExpectAskedAfter(uint64_t failedAt, milliseconds wait) {
    const int before = art.ArtRequests(1);
    tick = failedAt + static_cast<uint64_t>(wait.count()) - 1;
    Pass();
    EXPECT_EQ(art.ArtRequests(1), before) << "asked before " << wait.count() << " ms";
    tick += 1;
    Pass();
    EXPECT_EQ(art.ArtRequests(1), before + 1) << "not asked after " << wait.count() << " ms";
    return tick;
  }

  ArtService art;
  uint64_t tick = 0xFFFFFFFFull - 200000;  // the 32-bit tick wraps during the tests
};

// One sync sent 201 queries of a feed answering 503 while the other offered 200
// pictures: the pass before each download asked it again.
TEST_F(FeedBackoffTest, FailedFeedIsAskedOncePerBatchThenAfterDoublingWaits) {
  SetFeeds({kFeedTypeWallpapers, kFeedTypeClocks});
  FailWallpapers(503);
  art.SetCatalog(2, {"c1.jpg", "c2.jpg", "c3.jpg", "c4.jpg", "c5.jpg"});
  const uint64_t failedAt = tick;
  RunBatch(seconds(10));  // the batch outlasts the first wait
  EXPECT_EQ(art.ArtRequests(1), 1);
  EXPECT_EQ(art.ArtRequests(2), 1);
  EXPECT_TRUE(Exists("c5.jpg"));
  EXPECT_EQ(host.CountLogs(L"Refresh 0: lastTm=0, retries=1"), 5);  // each later pass logs it
  EXPECT_EQ(tick, failedAt + 50000);
  // The first pass after the batch asks: its 30 seconds have passed.
  Pass();
  EXPECT_EQ(art.ArtRequests(1), 2);
  uint64_t at = tick;
  for (const milliseconds wait :
       {seconds(60), seconds(120), seconds(240), seconds(480), seconds(900), seconds(900)}) {
    at = ExpectAskedAfter(at, wait);
  }
  EXPECT_EQ(engine.feeds[0].retries, 8);
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=0, retries=7"));
}

// An answer of the wrong shape ends the pass with an error, and the worker's loop starts
// again a second later; the feed still waits its turn.
TEST_F(FeedBackoffTest, AnAnswerOfTheWrongShapeBacksOffToo) {
  SetFeeds({kFeedTypeWallpapers});
  art.SetArtAnswer(1, [] { return Reply(200, R"({"art":[{"wall_url":5}]})"); });
  const uint64_t failedAt = tick;
  EXPECT_THROW(engine.Refresh(), CServiceAnswerError);
  tick += 1000;  // the restart's pause
  engine.Refresh();
  EXPECT_EQ(art.ArtRequests(1), 1);
  tick = failedAt + 30000;
  EXPECT_THROW(engine.Refresh(), CServiceAnswerError);
  EXPECT_EQ(art.ArtRequests(1), 2);
  EXPECT_EQ(engine.feeds[0].retries, 0);  // the counters stay as they were
}

// The first wait is 30 seconds; the doubling stops at the interval when that is shorter
// than 15 minutes, and an interval of 0 ("Disable") sets no limit of its own.
TEST_F(FeedBackoffTest, FirstWaitIsThirtySecondsAndAShortIntervalEndsTheDoubling) {
  const struct {
    int32_t tmUpdate;
    std::vector<milliseconds> waits;
  } cases[] = {
      {2, {seconds(30), seconds(60), seconds(120), seconds(120)}},
      {1, {seconds(30), seconds(60), seconds(60)}},
      {0,
       {seconds(30), seconds(60), seconds(120), seconds(240), seconds(480), minutes(15),
        minutes(15)}},
      {-1, {seconds(30), seconds(60), seconds(120), seconds(240), seconds(480), minutes(15)}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tmUpdate);
    owner.tmUpdate = c.tmUpdate;
    SetFeeds({kFeedTypeWallpapers});
    FailWallpapers(500);
    Pass();
    uint64_t at = tick;
    for (const milliseconds wait : c.waits) at = ExpectAskedAfter(at, wait);
  }
}

// A 429 or 503 answer's Retry-After, in seconds or as a date, holds the feed back at least
// that long and at most 6 hours; other answers' and unreadable values change nothing.
TEST_F(FeedBackoffTest, RetryAfterOfBusyAnswersIsHonouredUpToSixHours) {
  const struct {
    int status;
    const char* retryAfter;
    milliseconds wait;
  } cases[] = {{503, "120", seconds(120)},
               {429, "120", seconds(120)},
               {500, "120", seconds(30)},
               {401, "120", seconds(30)},
               {503, "10", seconds(30)},
               {503, "21599", seconds(21599)},
               {503, "21600", hours(6)},
               {429, "21601", hours(6)},
               {503, "99999999999999999999", hours(6)},
               {503, "Sun, 06 Nov 1994 08:54:37 GMT", seconds(300)},
               {429, "Sunday, 06-Nov-94 08:54:37 GMT", seconds(300)},
               {503, "Sun Nov  6 08:54:37 1994", seconds(300)},
               {503, "Mon, 07 Nov 1994 08:49:37 GMT", hours(6)},
               {503, "Sun, 06 Nov 1994 08:49:27 GMT", seconds(30)},
               {429, "soon", seconds(30)},
               {503, "", seconds(30)},
               {503, "-120", seconds(30)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.retryAfter);
    SetFeeds({kFeedTypeWallpapers});
    FailWallpapers(c.status, c.retryAfter);
    Pass();
    ExpectAskedAfter(tick, c.wait);
  }
}

// A 401 (the sign-in expired) and a service that cannot be reached back off the same way.
TEST_F(FeedBackoffTest, RefusedSignInAndUnreachableServiceBackOffTheSameWay) {
  SetFeeds({kFeedTypeWallpapers});
  FailWallpapers(401);
  Pass();
  uint64_t at = ExpectAskedAfter(tick, seconds(30));
  at = ExpectAskedAfter(at, seconds(60));

  LoopbackServer closed;
  ::setenv("ORVELLA_SERVER_URL", closed.BaseUrl().c_str(), 1);
  closed.Stop();
  SetFeeds({kFeedTypeWallpapers, kFeedTypeClocks});
  Pass();
  EXPECT_EQ(host.CountLogs(L"InternetOpenUrl() failed"), 2);
  for (const milliseconds wait : {seconds(30), seconds(60)}) {
    const uint64_t failedAt = tick;
    tick = failedAt + static_cast<uint64_t>(wait.count()) - 1;
    Pass();
    EXPECT_EQ(host.CountLogs(L"InternetOpenUrl() failed"), 2 + (wait == seconds(60) ? 2 : 0));
    tick = failedAt + static_cast<uint64_t>(wait.count());
    Pass();
  }
  EXPECT_EQ(host.CountLogs(L"InternetOpenUrl() failed"), 6);
}

// A service that answers again is used at the feed's next try, and its success forgets
// the failures; so do new settings (a new feed array) and a new worker.
TEST_F(FeedBackoffTest, SuccessNewSettingsAndANewWorkerForgetTheFailures) {
  SetFeeds({kFeedTypeWallpapers});
  FailWallpapers(503);
  Pass();
  uint64_t at = ExpectAskedAfter(tick, seconds(30));  // now waiting 60 s
  art.SetCatalog(1, {});
  at = ExpectAskedAfter(at, seconds(60));
  EXPECT_EQ(engine.feeds[0].retries, 0);
  EXPECT_EQ(engine.feeds[0].lastTm, static_cast<uint32_t>(at));
  FailWallpapers(503);
  tick = at + 86400001;  // its interval has passed: asked, and failing again
  Pass();
  ExpectAskedAfter(tick, seconds(30));  // the doubling starts again

  const auto failTwice = [&] {
    SetFeeds({kFeedTypeWallpapers});
    Pass();
    return ExpectAskedAfter(tick, seconds(30));
  };
  const auto askedAt = [&](uint64_t when) {
    const int before = art.ArtRequests(1);
    tick = when;
    Pass();
    return art.ArtRequests(1) - before;
  };
  at = failTwice();
  EXPECT_EQ(askedAt(at + 1), 0);
  SetFeeds({kFeedTypeWallpapers});
  EXPECT_EQ(askedAt(at + 2), 1);

  at = failTwice();
  EXPECT_EQ(askedAt(at + 1), 0);
  engine.backoff.Reset();
  EXPECT_EQ(askedAt(at + 2), 1);

  // A failure of feeds the host's thread replaced during the query holds nothing back.
  at = failTwice();
  art.SetArtAnswer(1, [this] {
    std::lock_guard<std::mutex> guard(engine.lock);
    engine.feeds.RemoveAll();
    engine.feeds.Add(COrvellaFeed(kFeedTypeWallpapers, 20, L""));
    ++engine.feedsGeneration;
    return Reply(503, "busy");
  });
  EXPECT_EQ(askedAt(at + 60000), 1);
  FailWallpapers(503);
  EXPECT_EQ(askedAt(at + 60001), 1);
}

}  // namespace
}  // namespace orvella::test
