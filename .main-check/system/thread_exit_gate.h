// Where the worker thread waits, once its work is done, before it leaves the module's code.
//
// On Windows a thread's end takes the loader lock, which FreeLibrary holds while the module
// is being unloaded: an unload that waited for the worker's thread to end would wait for
// ever, and an unload that did not wait could unmap code the thread still runs. So the
// worker finishes its work, then waits at this gate inside the system: the normal stop
// opens the gate and joins the thread; an unload ends the waiting thread inside the system
// instead, without running any more of the module's code and without waiting for it.
// Elsewhere the gate is always open.
#pragma once

#include <memory>

namespace orvella {

class CThreadExitGate {
 public:
  CThreadExitGate();
  ~CThreadExitGate();
  CThreadExitGate(const CThreadExitGate&) = delete;
  CThreadExitGate& operator=(const CThreadExitGate&) = delete;

  /// The worker's last step: returns once the gate is open, or never, when an unload ends
  /// the thread while it waits here. Worker thread.
  void Pass();
  /// Lets a worker waiting in Pass (now or later) return. Host's thread.
  void Open();
  /// Module unload: ends the thread waiting in Pass inside the system, without waiting for
  /// it. Returns true when it did so (the thread object must then be detached, not joined);
  /// false when no thread waits there (then joining is safe). Unloading thread.
  bool EndWaitingThread();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace orvella
