// The feeds' due test and the back-off of failed queries.
#include "engine/feed_backoff.h"

#include <algorithm>
#include <optional>

#include "net/retry_after.h"

namespace orvella {
namespace {

constexpr uint64_t kMillisecondsPerMinute = 60000;
// Past this many doublings the first wait is far beyond the longest; stopping there keeps
// the shift defined.
constexpr int32_t kMostDoublings = 20;

uint64_t Ms(std::chrono::milliseconds duration) {
  return static_cast<uint64_t>(duration.count());
}

int64_t SystemCalendarSeconds() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::seconds>(now).count();
}

// The wait a Retry-After asks for, capped, or nothing when the answer asks for none.
std::optional<uint64_t> ServerWait(const FetchReply& reply, int64_t calendarNow) {
  if (reply.status != 429 && reply.status != 503) return std::nullopt;
  const std::optional<int64_t> seconds = RetryAfterSeconds(reply.retryAfter, calendarNow);
  if (!seconds) return std::nullopt;
  const uint64_t longest = Ms(kLongestServerWait);
  return static_cast<uint64_t>(*seconds) >= longest / 1000 ? longest
                                                           : static_cast<uint64_t>(*seconds) * 1000;
}

}  // namespace

FeedBackoff::FeedBackoff() : calendarSeconds(&SystemCalendarSeconds) {}

void FeedBackoff::Reset() {
  for (FeedState& state : feeds_) state.failures = 0;
}

void FeedBackoff::BeginPass(bool downloading) {
  if (!downloading) ++batch_;
}

bool FeedBackoff::IsDue(std::size_t position, uint64_t generation, uint32_t lastTm,
                        int32_t tmUpdate, uint64_t now) const {
  const FeedState* state = position < feeds_.size() ? &feeds_[position] : nullptr;
  if (state != nullptr && state->failures > 0 && state->generation == generation) {
    if (state->batch == batch_ || now < state->retryAt) return false;
  }
  return IntervalPassed(state, lastTm, tmUpdate, now);
}

// A feed never queried is due; with an interval of 0 or less no other is (it is asked once
// after each start or settings change). The elapsed time comes from the 64-bit tick when
// the feed's lastTm is the one its last success here gave it; a lastTm from elsewhere can
// only be measured on the 32-bit tick, as the tick counter wraps.
bool FeedBackoff::IntervalPassed(const FeedState* state, uint32_t lastTm, int32_t tmUpdate,
                                 uint64_t now) const {
  if (lastTm == 0) return true;
  if (tmUpdate <= 0) return false;
  uint64_t elapsed = static_cast<uint32_t>(static_cast<uint32_t>(now) - lastTm);
  if (state != nullptr && state->queried && state->lastTm == lastTm) {
    elapsed = now >= state->lastTick ? now - state->lastTick : 0;
  }
  return elapsed > static_cast<uint64_t>(tmUpdate) * kMillisecondsPerMinute;
}

void FeedBackoff::Record(std::size_t position, uint64_t generation, bool succeeded,
                         const FetchReply& reply, int32_t tmUpdate, uint64_t now) {
  if (position >= feeds_.size()) feeds_.resize(position + 1);
  FeedState& state = feeds_[position];
  if (succeeded) {
    state.queried = true;
    state.lastTm = static_cast<uint32_t>(now);
    state.lastTick = now;
    state.failures = 0;
    return;
  }
  if (state.generation != generation) state.failures = 0;  // another array's feed
  state.generation = generation;
  state.failures = std::min(state.failures + 1, kMostDoublings);
  state.batch = batch_;
  state.retryAt = now + RetryWait(state.failures, tmUpdate, reply, calendarSeconds());
}

uint64_t FeedBackoff::RetryWait(int32_t failures, int32_t tmUpdate, const FetchReply& reply,
                                int64_t calendarNow) {
  uint64_t longest = Ms(kLongestRetryWait);
  if (tmUpdate > 0)
    longest = std::min(longest, static_cast<uint64_t>(tmUpdate) * kMillisecondsPerMinute);
  const uint64_t wait = std::min(Ms(kFirstRetryWait) << (failures - 1), longest);
  const std::optional<uint64_t> asked = ServerWait(reply, calendarNow);
  return asked ? std::max(wait, *asked) : wait;
}

}  // namespace orvella
