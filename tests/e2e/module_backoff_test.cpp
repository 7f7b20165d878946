// A failing feed backs off, through the real module: its worker runs against a local art
// service while the test lets minutes and hours pass on the process's clocks
// (tests/support/boot_clock_fake.h).
#include <algorithm>
#include <atomic>
#include <ctime>

#include "tests/support/boot_clock_fake.h"
#include "tests/support/module_sync_fixture.h"

namespace orvella::test {
namespace {

using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

// The worker rests 30 seconds between passes when nothing is queued.
constexpr milliseconds kRest = seconds(30);

/// An HTTP date `ahead` from now, in the form that `format` (strftime) gives.
std::string HttpDateAhead(seconds ahead, const char* format) {
  const std::time_t when = std::time(nullptr) + ahead.count();
  std::tm parts{};
  ::gmtime_r(&when, &parts);
  char text[64];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

class ModuleBackoffTest : public ModuleSyncTest {
 protected:
  ModuleBackoffTest() {
    std::vector<std::string> clocks;
    for (int i = 0; i < 30; ++i) {
      const std::string name = "c" + std::to_string(i) + ".jpg";
      server.SetImage(name, name);
      clocks.push_back(name);
    }
    server.SetCatalog(2, clocks);
  }
  ~ModuleBackoffTest() override {
    if (module) module->Send(10, 0, 1);
  }
  void StartModule() {
    module = Start();
    WaitUntil([] { return boot_clock::LongWaitsInProgress() > 0; });  // the first batch ended
  }
  /// Lets `by` pass (at least the worker's rest) while the worker rests; returns once the
  /// pass that follows has ended and the worker rests again.
  void PassAfter(milliseconds by) {
    ASSERT_GE(by, kRest);
    WaitUntil([] { return boot_clock::LongWaitsInProgress() > 0; });
    const uint64_t begun = boot_clock::LongWaitsBegun();
    boot_clock::Advance(by);
    WaitUntil([&] { return boot_clock::LongWaitsBegun() > begun; });
  }
  /// PassAfter(`by`), then the queries of each feed type that pass sent: {wallpapers,
  /// clocks}.
  std::pair<int, int> AskedAfter(milliseconds by) {
    const int walls = server.ArtRequests(1);
    const int clocks = server.ArtRequests(2);
    PassAfter(by);
    return {server.ArtRequests(1) - walls, server.ArtRequests(2) - clocks};
  }
  /// Each of the clock feed's pictures takes `each` to arrive (less than the transfers'
  /// 60 seconds without data).
  void SlowClockPictures(milliseconds each) {
    for (int i = 0; i < 30; ++i) {
      const std::string name = "c" + std::to_string(i) + ".jpg";
      server.server.SetHandler("/img/" + name, [=](const ReceivedRequest&) {
        boot_clock::Advance(each);
        return Reply(200, name, "image/jpeg");
      });
    }
  }
  void Busy(int type, int status, const std::string& retryAfter) {
    server.SetArtAnswer(type, [=] {
      return Reply(status, "busy", "text/plain", {{"Retry-After", retryAfter}});
    });
  }

  std::unique_ptr<LoadedModule> module;
};

// One sync sent 201 queries of a feed answering 503 while another offered 200 pictures.
// Now the batch asks it once, however long the batch takes, and the first pass after the
// feed's wait asks again and takes what it offers once it answers.
TEST_F(ModuleBackoffTest, FailingFeedIsAskedOncePerBatchAndAgainWhenItAnswers) {
  std::atomic<bool> back{false};
  server.SetArtAnswer(
      1, [&] { return back ? Reply(200, server.Catalog(1, {"a.jpg"})) : Reply(503, "busy"); });
  SlowClockPictures(seconds(10));  // the batch takes 5 minutes
  StartModule();
  EXPECT_EQ(server.ArtRequests(1), 1);
  EXPECT_EQ(host.CountLogs(L"Refresh 0: lastTm=0, retries=1"), 30);
  EXPECT_EQ(folder.Read("c29.jpg"), "c29.jpg");
  back = true;
  EXPECT_EQ(AskedAfter(kRest), std::make_pair(1, 0));
  EXPECT_EQ(folder.Read("a.jpg"), PatternBytes(50000, 'a'));
  EXPECT_EQ(AskedAfter(hours(1)), std::make_pair(0, 0));  // answered: its interval counts
}

// The waits double from 30 seconds and stop at 15 minutes: each is checked from below
// (10 seconds short) and from above (the pass after it).
TEST_F(ModuleBackoffTest, WaitsDoubleUpToFifteenMinutes) {
  Busy(1, 503, "");
  StartModule();
  EXPECT_EQ(AskedAfter(kRest).first, 1);
  for (const milliseconds wait :
       {seconds(60), seconds(120), seconds(240), seconds(480), seconds(900), seconds(900)}) {
    SCOPED_TRACE(wait.count());
    EXPECT_EQ(AskedAfter(wait - seconds(10)).first, 0);
    EXPECT_EQ(AskedAfter(kRest).first, 1);
  }
  EXPECT_TRUE(host.Logged(L"Refresh 0: lastTm=0, retries=7"));
  EXPECT_EQ(server.ArtRequests(2), 1);
}

// A 503's and a 429's Retry-After hold the feed back at least that long, at most 6 hours.
TEST_F(ModuleBackoffTest, RetryAfterInSecondsIsHonouredUpToSixHours) {
  Busy(1, 503, "300");
  Busy(2, 429, "86400");
  StartModule();
  EXPECT_EQ(AskedAfter(seconds(290)), std::make_pair(0, 0));
  server.SetCatalog(1, {});
  EXPECT_EQ(AskedAfter(kRest), std::make_pair(1, 0));  // 320 s
  EXPECT_EQ(AskedAfter(seconds(21570 - 320)), std::make_pair(0, 0));
  EXPECT_EQ(AskedAfter(seconds(60)), std::make_pair(0, 1));  // 21630 s
}

TEST_F(ModuleBackoffTest, RetryAfterAsADateIsHonoured) {
  Busy(1, 503, HttpDateAhead(seconds(300), "%a, %d %b %Y %H:%M:%S GMT"));
  Busy(2, 429, HttpDateAhead(seconds(300), "%A, %d-%b-%y %H:%M:%S GMT"));
  StartModule();
  EXPECT_EQ(AskedAfter(seconds(250)), std::make_pair(0, 0));
  EXPECT_EQ(AskedAfter(seconds(60)), std::make_pair(1, 1));
}

// A date that has passed asks for no wait, nonsense is ignored: the 30 seconds hold.
TEST_F(ModuleBackoffTest, PassedDateAndNonsenseLeaveTheFirstWait) {
  Busy(1, 503, "Sun, 06 Nov 1994 08:49:37 GMT");
  Busy(2, 429, "in a while");
  StartModule();
  EXPECT_EQ(AskedAfter(kRest), std::make_pair(1, 1));
  EXPECT_EQ(AskedAfter(kRest), std::make_pair(0, 0));
}

// An expired sign-in (401) and a service that is down get the same back-off.
TEST_F(ModuleBackoffTest, RefusedSignInAndUnreachableServiceBackOff) {
  server.SetArtAnswer(1, [] { return Reply(401, "sign in again", "text/plain"); });
  StartModule();
  EXPECT_EQ(server.ArtRequests(1), 1);
  EXPECT_EQ(AskedAfter(kRest).first, 1);
  EXPECT_EQ(AskedAfter(kRest).first, 0);
  EXPECT_EQ(AskedAfter(kRest).first, 1);
  module->Send(10, 0, 1);
  module.reset();

  LoopbackServer closed;
  ::setenv("ORVELLA_SERVER_URL", closed.BaseUrl().c_str(), 1);
  closed.Stop();
  host.ClearLogs();
  StartModule();
  const auto attempts = [&] { return host.CountLogs(L"InternetOpenUrl() failed"); };
  EXPECT_EQ(attempts(), 2);
  for (const int expected : {4, 4, 6, 6, 6, 6, 8}) {
    PassAfter(kRest);
    EXPECT_EQ(attempts(), expected);
  }
}

// New settings (message 7) and a new worker ask a failing feed at once.
TEST_F(ModuleBackoffTest, NewSettingsAndANewWorkerAskAtOnce) {
  Busy(1, 503, "");
  StartModule();
  EXPECT_EQ(AskedAfter(kRest).first, 1);  // now waiting 60 seconds
  module->Send(7);
  EXPECT_EQ(AskedAfter(kRest).first, 1);
  module->Send(10, 0, 1);
  module.reset();
  const int before = server.ArtRequests(1);
  StartModule();
  EXPECT_EQ(server.ArtRequests(1), before + 1);
}

// An answer of the wrong shape restarts the worker's loop with the generic line. The
// download before it stays recorded across the restart, and the feed is asked again once
// its wait has passed, not at each restart.
TEST_F(ModuleBackoffTest, AWronglyTypedAnswerRestartsTheLoopWithoutLosingDownloads) {
  // The clock feed is busy until a.jpg was fetched, then answers once with a number where
  // a text belongs, then properly. The host loads the settings while a.jpg is fetched, so
  // the pass before the batch's end asks the clock feed again at once.
  std::atomic<bool> fetched{false};
  std::atomic<int> bad{0};
  std::atomic<LoadedModule*> loaded{nullptr};
  server.SetCatalog(1, {"a.jpg"});
  server.server.SetHandler("/img/a.jpg", [&](const ReceivedRequest&) {
    if (!fetched.exchange(true)) {
      WaitUntil([&] { return loaded.load() != nullptr; });
      loaded.load()->Send(7);
    }
    return Reply(200, "a", "image/jpeg");
  });
  server.SetImage("c.jpg", "c");
  server.SetArtAnswer(2, [&] {
    if (!fetched) return Reply(503, "busy");
    if (bad++ == 0) return Reply(200, R"({"art":[{"name":"c","clock_url":42}]})");
    return Reply(200, server.Catalog(2, {"c.jpg"}));
  });
  module = Start();
  loaded = module.get();
  WaitUntil([&] { return host.CountLogs(L"Unknown Exception in COrvellaThread::RunComms()") > 0; });
  WaitUntil([] { return boot_clock::LongWaitsInProgress() > 0; });  // the restarted loop rests
  EXPECT_EQ(server.ArtRequests(2), 2);  // busy, then the wrong shape: not at the restart
  const auto logs = host.logs();
  const auto error =
      std::find(logs.begin(), logs.end(), L"Unknown Exception in COrvellaThread::RunComms()");
  EXPECT_NE(std::find(error, logs.end(), L"ReadLocalFileList: file list loaded (1 entries)"),
            logs.end());
  EXPECT_FALSE(fs::exists(folder / "c.jpg"));
  PassAfter(kRest);
  EXPECT_EQ(server.ArtRequests(2), 3);
  const std::set<std::pair<std::string, std::string>> both = {{Url("a.jpg"), "a.jpg"},
                                                              {Url("c.jpg"), "c.jpg"}};
  EXPECT_EQ(ListedPairs(), both);
}

// The settings accept intervals up to 9,999,999 minutes; in 32-bit milliseconds anything
// above 71,582 wrapped (71,583 asked every 12.7 seconds). The tick's low 32 bits wrap on
// the way.
TEST_F(ModuleBackoffTest, IntervalsAboveTheTickCounterHoldAcrossItsWrap) {
  server.SetCatalog(2, {"c0.jpg"});
  for (const int32_t interval : {71582, 71583, 9999999}) {
    SCOPED_TRACE(interval);
    host.SetInt(L"tmUpdate", interval);
    StartModule();
    EXPECT_EQ(AskedAfter(kRest), std::make_pair(0, 0));
    EXPECT_EQ(AskedAfter(minutes(interval) - seconds(60)), std::make_pair(0, 0));
    EXPECT_EQ(AskedAfter(seconds(60)), std::make_pair(1, 1));
    module->Send(10, 0, 1);
    module.reset();
  }
}

}  // namespace
}  // namespace orvella::test
