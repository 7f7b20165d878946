// A service that leaves a request waiting at one chosen point: connecting (a full listen
// backlog), before the answer's headers, in the middle of the body, or while the body
// drips in at two bytes a second. Every wait lasts until the service is destroyed.
#pragma once

#include <memory>
#include <string>

#include "tests/support/full_backlog_listener.h"
#include "tests/support/loopback_server.h"

namespace orvella::test {

enum class StallPoint { kConnect, kHeaders, kBody, kDrip };

/// Every stall point, in the order a request meets them.
inline constexpr StallPoint kStallPoints[] = {StallPoint::kConnect, StallPoint::kHeaders,
                                              StallPoint::kBody, StallPoint::kDrip};

/// "connect", "headers", "body" or "drip".
const char* StallName(StallPoint point);

/// True for the points after the answer's headers arrived: a request ended there fails
/// as a read of the body, earlier ones as an open.
inline bool AfterHeaders(StallPoint point) {
  return point == StallPoint::kBody || point == StallPoint::kDrip;
}

class StalledService {
 public:
  /// Answers GET `path` with the stall at `point`; other paths as `server` is told.
  StalledService(StallPoint point, const std::string& path);
  ~StalledService();

  /// Answers GET `path` with the stall as well.
  void Stall(const std::string& path);

  /// Where requests go: the server's address, or the full listener's for kConnect.
  std::string BaseUrl() const;
  /// Returns once `requests` requests in all have been held at the stall point and the
  /// last has had a moment to take what was sent before it. A connect cannot be seen
  /// waiting: for kConnect this returns a moment after it was called (call it after
  /// starting the request).
  void WaitUntilStalled(std::size_t requests = 1);

  /// True once a request for `path` has arrived; for kConnect, where none can arrive, at
  /// once.
  bool Reached(const std::string& path) const;

  StallPoint point() const { return point_; }
  /// The server behind every point but kConnect (routes may be added).
  LoopbackServer server;

 private:
  StallPoint point_;
  std::unique_ptr<FullBacklogListener> listener_;
};

}  // namespace orvella::test
