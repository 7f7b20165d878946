// The service's stall points.
#include "tests/support/stalled_service.h"

#include <chrono>
#include <thread>

namespace orvella::test {
namespace {

// Long enough for a client to have read what arrived before the stall.
constexpr auto kSettle = std::chrono::milliseconds(300);

Reply StallingReply(StallPoint point) {
  Reply reply(200, std::string(1 << 20, '{'));
  switch (point) {
    case StallPoint::kHeaders:
      reply.delay = std::chrono::minutes(30);
      break;
    case StallPoint::kBody:
      reply.stallAfter = 1000;
      break;
    case StallPoint::kDrip:
      reply.dripEvery = std::chrono::milliseconds(500);
      break;
    case StallPoint::kConnect:
      break;
  }
  return reply;
}

}  // namespace

const char* StallName(StallPoint point) {
  switch (point) {
    case StallPoint::kConnect:
      return "connect";
    case StallPoint::kHeaders:
      return "headers";
    case StallPoint::kBody:
      return "body";
    case StallPoint::kDrip:
      return "drip";
  }
  return "?";
}

StalledService::StalledService(StallPoint point, const std::string& path) : point_(point) {
  if (point == StallPoint::kConnect) {
    listener_ = std::make_unique<FullBacklogListener>();
  } else {
    Stall(path);
  }
}

void StalledService::Stall(const std::string& path) {
  server.Set(path, StallingReply(point_));
}

StalledService::~StalledService() {
  server.Stop();
}

std::string StalledService::BaseUrl() const {
  return listener_ ? listener_->BaseUrl() : server.BaseUrl();
}

bool StalledService::Reached(const std::string& path) const {
  if (point_ == StallPoint::kConnect) return true;
  for (const ReceivedRequest& request : server.requests()) {
    if (request.path == path) return true;
  }
  return false;
}

void StalledService::WaitUntilStalled(std::size_t requests) {
  if (point_ != StallPoint::kConnect) {
    while (server.HeldCount() < requests) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  std::this_thread::sleep_for(kSettle);
}

}  // namespace orvella::test
