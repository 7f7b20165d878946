// Ctrl-C and termination requests for the reference host's long-running commands.
#pragma once

#include <chrono>

namespace orvella::host {

/// Holds back the interrupt and terminate signals from every thread started after it
/// was constructed (construct it before the plug-in starts its worker), so that they
/// can be waited for here instead of ending the process. Once the first request has
/// been taken, a second one ends the process at once, as if no one had asked for them:
/// a user whose stop hangs is never left with an unkillable program.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  /// Waits up to `timeout` for a stop request. Returns true once one has arrived. Only
  /// the thread that constructed the object calls it.
  bool Wait(std::chrono::milliseconds timeout);
  /// Waits for a stop request without a time limit. Same thread.
  void Wait();

  /// Returns the exit status a command ends with after the request: 130 for an interrupt
  /// (Ctrl-C), 143 for a terminate request; 0 while none has arrived.
  int exitStatus() const { return exitStatus_; }

 private:
  int exitStatus_ = 0;
};

}  // namespace orvella::host
