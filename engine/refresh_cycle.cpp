// Refresh: due feeds are queried and what they offer is queued for download.
//
// The host's thread may reload or replace the feed array, the account and the settings at
// any time. What a feed's turn needs is therefore read under the engine lock, the query
// runs without it, and the result is written back under the lock only when the feed now at
// that position still asks what the query asked (a reload that left it as it was keeps the
// answer; a feed changed, removed or disabled meanwhile drops it).
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
#include "service/answer_error.h"
#include "service/orvella_client.h"
#include "system/display_geometry.h"
#include "system/query_size.h"

namespace orvella {
namespace {

// One feed's turn as read under the lock.
struct FeedTurn {
  bool enabled = false;
  bool due = false;
  uint32_t lastTm = 0;
  int32_t retries = 0;
  int32_t tmUpdate = 0;
  uint64_t generation = 0;
  COrvellaFeed query;  // the query's inputs only (type, tags, maximum), no items
};

// True when `feed` asks what the turn's query asked: enabled, with the same type, tags and
// maximum. Only then is the answer the feed's own. Engine lock held.
bool AsksTheSame(const COrvellaFeed& feed, const FeedTurn& turn) {
  return (feed.Flg & kFeedEnabled) != 0 && feed.Type == turn.query.Type &&
         feed.Tags == turn.query.Tags && feed.MaxP == turn.query.MaxP;
}

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
  backoff.BeginPass(downloading != 0);
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
      turn.tmUpdate = owner.WorkerSettingsLocked().tmUpdate;
      turn.due = backoff.IsDue(i, turn.generation, feed.lastTm, turn.tmUpdate, tickCount());
      if (turn.due) turn.query = COrvellaFeed(feed.Type, feed.MaxP, feed.Tags);
    }
    WriteLog(L"Refresh %d: lastTm=%d, retries=%d", i, turn.lastTm, turn.retries);
    if (!turn.due) continue;
    if (geometry.count == 0) EnumerateDisplays(geometry, monitors);
    const MeasuredSize size = QuerySize(geometry);
    int32_t result = 0;
    try {
      result = client.QueryFeed(turn.query, size.width, size.height);
    } catch (const CServiceAnswerError&) {
      // The error ends the pass, and the worker's loop starts again a second later: the
      // feed waits its turn like any failed one, or a service that sends answers of the
      // wrong shape would be asked every second.
      backoff.Record(i, turn.generation, false, client.reply, turn.tmUpdate, tickCount());
      throw;
    }
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
      if (i < feeds.GetSize() && AsksTheSame(feeds[i], turn)) {
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
