// Refresh: due feeds are queried and what they offer is queued for download.
//
// The host's thread may replace the feed array, the account and the settings at any
// time. Each feed is therefore copied under the engine lock, queried without it, and
// its result written back under the lock only when the array was not replaced in the
// meantime (a replaced array has its own, fresh timing: the result is dropped).
#include <optional>

#include "base/write_log.h"
#include "engine/orvella_engine.h"
#include "service/orvella_client.h"
#include "system/display_geometry.h"

namespace orvella {
namespace {

constexpr uint32_t kMillisecondsPerMinute = 60000;

// A feed as it was when its turn came. Built by copy construction: feed assignment
// would leave `retries` behind.
struct FeedSnapshot {
  COrvellaFeed feed;
  uint64_t generation = 0;
  int32_t tmUpdate = 0;
};

// Both values wrap with the tick counter; the difference is right across the wrap.
bool IsDue(uint32_t lastTm, uint32_t now, int32_t tmUpdate) {
  if (lastTm == 0) return true;
  const uint32_t elapsed = now - lastTm;
  const uint32_t interval = static_cast<uint32_t>(tmUpdate) * kMillisecondsPerMinute;
  return elapsed > interval;
}

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
  DisplayGeometry geometry;
  for (int32_t i = 0;; ++i) {
    std::optional<FeedSnapshot> snap;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (i >= feeds.GetSize()) break;
      snap.emplace(FeedSnapshot{feeds[i], feedsGeneration, owner.WorkerSettingsLocked().tmUpdate});
    }
    COrvellaFeed& feed = snap->feed;
    if ((feed.Flg & kFeedEnabled) == 0) continue;
    WriteLog(L"Refresh %d: lastTm=%d, retries=%d", i, feed.lastTm, feed.retries);
    if (!IsDue(feed.lastTm, tickCount(), snap->tmUpdate)) continue;
    if (geometry.count == 0) EnumerateDisplays(geometry, monitors);
    const int32_t width = geometry.largest.right - geometry.largest.left;
    const int32_t height = geometry.largest.bottom - geometry.largest.top;
    const int32_t result = client.QueryFeed(feed, width, height);
    const uint32_t now = tickCount();
    bool stored = false;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (feedsGeneration == snap->generation && i < feeds.GetSize()) {
        COrvellaFeed& target = feeds[i];
        if (result <= 0) {
          ++target.retries;
        } else {
          target.items = feed.items;
          target.retries = 0;
          target.lastTm = now;
          target.Flg |= kFeedQueried;
          stored = true;
        }
      }
    }
    if (!stored) continue;
    WriteLog(L"     %d Items found", feed.items.size());
    queue.insert(queue.end(), feed.items.begin(), feed.items.end());
    WriteLog(L"     %d Items queued to download", queue.size());
  }
}

}  // namespace orvella
