// The auto-reset event over a mutex and a condition variable.
#include "base/auto_reset_event.h"

namespace orvella {

void CAutoResetEvent::Set() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    set_ = true;
  }
  signalled_.notify_one();
}

bool CAutoResetEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(mutex_);
  const bool set = signalled_.wait_for(guard, timeout, [this] { return set_; });
  set_ = false;
  return set;
}

}  // namespace orvella
