// Refresh: due feeds are queried and what they offer is queued for download.
//
// The host's thread may replace the feed array, the account and the settings at any
// time. What a feed's turn needs is therefore read under the engine lock, the query runs
// without it, and the result is written back under the lock only when the array was not
// replaced in the meantime (a replaced array has its own, fresh timing: the result is
// dropped).
//
// The worker runs a pass before every single download, so a pass that finds nothing due
// must cost nothing per item: a feed's item list is never copied to decide whether it is
// due, and a due feed's query starts from an empty feed that carries only what the query
// reads.
#include <utility>

#include "base/write_log.h"
#include "engine/orvella_engine.h"
#include "service/orvella_client.h"
#include "system/display_geometry.h"

namespace orvella {
namespace {

constexpr uint32_t kMillisecondsPerMinute = 60000;

// Both values wrap with the tick counter; the difference is right across the wrap. An
// interval of 0 minutes or less means no periodic query at all: a feed is asked once
// after the worker starts or the feeds are replaced (lastTm 0), and not again; re-asking
// at every pass would queue the whole feed again before every download.
bool IsDue(uint32_t lastTm, uint32_t now, int32_t tmUpdate) {
  if (lastTm == 0) return true;
  if (tmUpdate <= 0) return false;
  const uint32_t elapsed = now - lastTm;
  const uint32_t interval = static_cast<uint32_t>(tmUpdate) * kMillisecondsPerMinute;
  return elapsed > interval;
}

// One feed's turn as read under the lock.
struct FeedTurn {
  bool exists = false;
  bool enabled = false;
  bool due = false;
  uint32_t lastTm = 0;
  int32_t retries = 0;
  uint64_t generation = 0;
  COrvellaFeed query;  // the query's inputs only (type, tags, maximum), no items
};

}  // namespace

void COrvellaEngine::Refresh(const std::atomic<int32_t>* stop) {
  std::wstring passToken;
  std::wstring passUser;
  {
    std::lock_guard<std::mutex> guard(lock);
    passToken = token;
    passUser = user;
  }
  COrvellaClient client(passToken, passUser, stop);
  DisplayGeometry geometry;
  for (int32_t i = 0;; ++i) {
    if (client.StopRequested()) break;
    FeedTurn turn;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (i >= feeds.GetSize()) break;
      const COrvellaFeed& feed = feeds[i];
      turn.enabled = (feed.Flg & kFeedEnabled) != 0;
      if (!turn.enabled) continue;
      turn.lastTm = feed.lastTm;
      turn.retries = feed.retries;
      turn.generation = feedsGeneration;
      turn.due = IsDue(feed.lastTm, tickCount(), owner.WorkerSettingsLocked().tmUpdate);
      if (turn.due) turn.query = COrvellaFeed(feed.Type, feed.MaxP, feed.Tags);
    }
    WriteLog(L"Refresh %d: lastTm=%d, retries=%d", i, turn.lastTm, turn.retries);
    if (!turn.due) continue;
    if (geometry.count == 0) EnumerateDisplays(geometry, monitors);
    const int32_t width = geometry.largest.right - geometry.largest.left;
    const int32_t height = geometry.largest.bottom - geometry.largest.top;
    const int32_t result = client.QueryFeed(turn.query, width, height);
    const uint32_t now = tickCount();
    // The queue's copy is made before the lock: the feed's own list is shared with the
    // host's thread once it is stored.
    COrvellaItemList found;
    if (result > 0) found = turn.query.items;
    const std::size_t count = found.size();
    bool stored = false;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (feedsGeneration == turn.generation && i < feeds.GetSize()) {
        COrvellaFeed& target = feeds[i];
        if (result <= 0) {
          ++target.retries;
        } else {
          // Swapped, not assigned: the previous result is released after the lock.
          target.items.swap(turn.query.items);
          target.retries = 0;
          target.lastTm = now;
          target.Flg |= kFeedQueried;
          stored = true;
        }
      }
    }
    if (!stored) continue;
    WriteLog(L"     %d Items found", count);
    queue.splice(queue.end(), found);
    WriteLog(L"     %d Items queued to download", queue.size());
  }
}

}  // namespace orvella
