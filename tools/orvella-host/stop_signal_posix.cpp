// SIGINT and SIGTERM turned into a stop request.
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include "tools/orvella-host/stop_signal.h"

namespace orvella::host {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

StopSignal::StopSignal() {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignal::~StopSignal() {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool StopSignal::Wait(std::chrono::milliseconds timeout) {
  if (received_) return true;
  const sigset_t set = StopSet();
  timespec wait{};
  wait.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  wait.tv_nsec = static_cast<long>((timeout.count() % 1000) * 1000000);
  received_ = sigtimedwait(&set, nullptr, &wait) > 0;
  return received_;
}

void StopSignal::Wait() {
  if (received_) return;
  const sigset_t set = StopSet();
  int signal = 0;
  sigwait(&set, &signal);
  received_ = true;
}

}  // namespace orvella::host
