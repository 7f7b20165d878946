// Ctrl-C and termination requests for the reference host's long-running commands.
#pragma once

#include <chrono>

namespace orvella::host {

/// Holds back the interrupt and terminate signals from every thread started after it
/// was constructed (construct it before the plug-in starts its worker), so that they
/// can be waited for here instead of ending the process.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  /// Waits up to `timeout` for a stop request. Returns true once one has arrived.
  bool Wait(std::chrono::milliseconds timeout);
  /// Waits for a stop request without a time limit.
  void Wait();

 private:
  bool received_ = false;
};

}  // namespace orvella::host
