// When a feed is asked: its update interval, measured on the 64-bit tick so that no
// interval the settings accept wraps, and the back-off of a feed whose query failed.
//
// A failing feed is asked at most once per batch (the passes before each download of a
// batch leave it alone), then again after 30 seconds, after twice as long each time up to
// 15 minutes (or the interval, when that is shorter); a 429 or 503 answer's Retry-After
// makes it wait at least that long, up to 6 hours. A success, a change of the settings (a
// new feed array) and the worker's start forget the failures.
//
// The state is the worker's own (no lock): feeds are known by their position and by the
// feed array's generation, so nothing here outlives a settings change that matters.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "net/http_fetch.h"

namespace orvella {

/// The first wait after a failed query; each further failure doubles it.
inline constexpr std::chrono::milliseconds kFirstRetryWait = std::chrono::seconds(30);
/// The longest wait the doubling reaches.
inline constexpr std::chrono::milliseconds kLongestRetryWait = std::chrono::minutes(15);
/// The longest a Retry-After is honoured.
inline constexpr std::chrono::milliseconds kLongestServerWait = std::chrono::hours(6);

/// Returns the calendar time in seconds since 1970-01-01 UTC. Any thread.
using CalendarSource = std::function<int64_t()>;

class FeedBackoff {
 public:
  FeedBackoff();

  /// Forgets every failure: the worker starts. Worker thread.
  void Reset();

  /// Begins a refresh pass. A pass that finds no download under way (`downloading`
  /// clear: the worker waited, or nothing was queued) begins a new batch; the others are
  /// the passes before each download of the current one. Worker thread.
  void BeginPass(bool downloading);

  /// True when the feed at `position` of feed array `generation`, last queried at the
  /// 32-bit tick `lastTm` (0: never), is to be asked at tick `now`: never queried, or its
  /// interval of `tmUpdate` minutes has passed (never for 0 or less), and no failure of
  /// this array holds it back. Worker thread (with or without the engine lock).
  bool IsDue(std::size_t position, uint64_t generation, uint32_t lastTm, int32_t tmUpdate,
             uint64_t now) const;

  /// Records the outcome of the query of the feed at `position`, asked with feed array
  /// `generation` and interval `tmUpdate`, that ended at tick `now`: a success (its
  /// lastTm becomes the low 32 bits of `now`) or a failure, whose `reply` may ask for a
  /// longer wait. Worker thread.
  void Record(std::size_t position, uint64_t generation, bool succeeded, const FetchReply& reply,
              int32_t tmUpdate, uint64_t now);

  /// The calendar clock a Retry-After date is measured against; the system's by default.
  CalendarSource calendarSeconds;

 private:
  struct FeedState {
    bool queried = false;   // lastTick and lastTm hold the last success
    uint32_t lastTm = 0;    // the feed's lastTm that success gave it
    uint64_t lastTick = 0;  // the same time on the 64-bit tick
    int32_t failures = 0;   // failed queries since the last success (of `generation`)
    uint64_t generation = 0;
    uint64_t batch = 0;    // the batch of the last failure
    uint64_t retryAt = 0;  // the tick from which the feed may be asked again
  };

  /// The wait after a failure, the `failures`-th in a row, for interval `tmUpdate`.
  static uint64_t RetryWait(int32_t failures, int32_t tmUpdate, const FetchReply& reply,
                            int64_t calendarNow);
  bool IntervalPassed(const FeedState* state, uint32_t lastTm, int32_t tmUpdate,
                      uint64_t now) const;

  std::vector<FeedState> feeds_;
  uint64_t batch_ = 0;
};

}  // namespace orvella
