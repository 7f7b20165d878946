// SIGINT and SIGTERM turned into a stop request; a second one takes its default action.
#include "tools/orvella-host/stop_signal.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>

namespace orvella::host {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// The plug-in's threads keep the signals blocked, so a second one is delivered to this
// thread, where its default action ends the whole process.
void LetTheNextOneThrough() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int ExitStatusFor(int signal) {
  return 128 + signal;
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
  if (exitStatus_ != 0) return true;
  const sigset_t set = StopSet();
  timespec wait{};
  wait.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  wait.tv_nsec = static_cast<long>((timeout.count() % 1000) * 1000000);
  const int signal = sigtimedwait(&set, nullptr, &wait);
  if (signal <= 0) return false;
  exitStatus_ = ExitStatusFor(signal);
  LetTheNextOneThrough();
  return true;
}

void StopSignal::Wait() {
  if (exitStatus_ != 0) return;
  const sigset_t set = StopSet();
  int signal = 0;
  while (sigwait(&set, &signal) != 0) {
  }
  exitStatus_ = ExitStatusFor(signal);
  LetTheNextOneThrough();
}

}  // namespace orvella::host
