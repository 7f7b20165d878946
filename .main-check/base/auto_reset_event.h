// An auto-reset event: a signal stays pending until one wait consumes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvella {

class CAutoResetEvent {
 public:
  /// Signals the event; a waiter (now or the next one) returns at once. Any thread.
  void Set();
  /// Waits until the event is signalled or `timeout` has passed. Returns true when it
  /// was signalled, and leaves it clear again. Any thread.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

}  // namespace orvella
