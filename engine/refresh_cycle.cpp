// Refresh: due feeds are queried and what they offer is queued for download.
//
// The host's thread may replace the feed array, the account and the settings at any
// time. What a feed's turn needs is therefore read under the engine lock, the query runs
// without it, and the result is written back under the lock only when the array was not
// replaced in the meantime (a replaced array has its own, fresh timing: the result is
// dropped).
//
// Which feeds are due, and how long one whose query failed waits, is the back-off's
// decision (engine/feed_backoff.h); the pass tells it each outcome.
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

// One feed's turn as read under the lock.
struct FeedTurn {
  bool exists = false;
  bool enabled = false;
  bool due = false;
  uint32_t lastTm = 0;
  int32_t retries = 0;
  int32_t tmUpdate = 0;
  uint64_t generation = 0;
  COrvellaFeed query;  // the query's inputs only (type, tags, maximum), no items
};

}  // namespace

void COrvellaEngine::Refresh() {
  std::wstring passToken;
  std::wstring passUser;
  {
    std::lock_guard<std::mutex> guard(lock);
    passToken = token;
    passUser = user;
  }
  COrvellaClient client(passToken, passUser);
  client.watch.stop = stopFlag;
  DisplayGeometry geometry;
  backoff.BeginPass(downloading != 0);
  for (int32_t i = 0;; ++i) {
    if (stopFlag != nullptr && stopFlag->load() != 0) break;
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
      turn.tmUpdate = owner.WorkerSettingsLocked().tmUpdate;
      turn.due = backoff.IsDue(i, turn.generation, feed.lastTm, turn.tmUpdate, tickCount());
      if (turn.due) turn.query = COrvellaFeed(feed.Type, feed.MaxP, feed.Tags);
    }
    WriteLog(L"Refresh %d: lastTm=%d, retries=%d", i, turn.lastTm, turn.retries);
    if (!turn.due) continue;
    if (geometry.count == 0) EnumerateDisplays(geometry, monitors);
    const int32_t width = geometry.largest.right - geometry.largest.left;
    const int32_t height = geometry.largest.bottom - geometry.largest.top;
    const int32_t result = client.QueryFeed(turn.query, width, height);
    const uint64_t now = tickCount();
    backoff.Record(i, turn.generation, result > 0, client.reply, turn.tmUpdate, now);
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
          target.lastTm = static_cast<uint32_t>(now);
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
