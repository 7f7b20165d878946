// The worker thread: all polling, downloading and list-file work of the plug-in.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/auto_reset_event.h"
#include "system/thread_exit_gate.h"

namespace orvella {

class COrvellaEngine;

/// The worker's waits. The defaults are the plug-in's; tests shorten them.
struct ThreadTiming {
  std::chrono::milliseconds idleWait{30000};     // between passes when the queue is empty
  std::chrono::milliseconds stopWait{60000};     // how long Stop waits for the worker
  std::chrono::milliseconds restartPause{1000};  // after an error escaped the loop
};

/// Result codes Stop logs: the worker ended, or the wait ran out.
inline constexpr int32_t kWaitObject0 = 0;
inline constexpr int32_t kWaitTimeout = 258;

class COrvellaThread {
 public:
  /// Logs "COrvellaThread::Start()", creates the worker for `owner`, starts it and waits
  /// until its routine has begun. On Windows a thread's first steps (its attach to the
  /// loaded modules, its name) take the loader lock, which an unload holds while it waits
  /// for the worker: a worker still starting then would wait for the unload, and run into
  /// unmapped code once the unload gave up. Returns null when the platform cannot create a thread
  /// (the caller's pointer then stays null and a later start may try again). Host's thread.
  static std::unique_ptr<COrvellaThread> Start(COrvellaEngine& owner, ThreadTiming timing = {});

  /// Asks a worker that is still running to stop and waits for it without a time
  /// limit: the object never goes away while its thread runs. Host's thread (or the
  /// module's unload).
  ~COrvellaThread();
  COrvellaThread(const COrvellaThread&) = delete;
  COrvellaThread& operator=(const COrvellaThread&) = delete;

  /// Sets the stop flag, wakes the worker and waits for it up to `stopWait`, then logs
  /// "COrvellaThread::Stop(), result: %d" with 0 (ended) or 258 (still running; it is
  /// left running and may still write the list file). Host's thread.
  void Stop();

  /// The worker loop: reads the list file, then refresh pass and one download step
  /// until stopped, sleeping when the queue is empty; writes the list file at the end
  /// when it changed. Worker thread only.
  void RunComms();

  /// True while the worker thread has not yet finished its routine. Any thread.
  bool Running() const;

  /// The module's unload, where ending a thread needs a lock the unload holds (Windows'
  /// loader lock): sets the stop flag, waits up to `stopWait` until the worker has done its
  /// work (the list file written), and lets the thread end without joining it. Returns
  /// false when the worker did not finish in time; it is then left to itself. Unloading
  /// thread, before the engine is destroyed.
  bool EndForUnload();

 private:
  COrvellaThread() = default;
  /// The thread's routine: RunComms under the exception guard, restarted after errors.
  void Main();
  /// One run of RunComms; returns false when an error escaped it (already logged).
  bool GuardedRun(bool restarting);
  void MarkFinished();
  void MarkBegun();

  std::atomic<int32_t> stopRequested{0};
  COrvellaEngine* owner = nullptr;
  CAutoResetEvent wakeEvent;
  ThreadTiming timing_;
  // Records met in a queue before an error restarted the loop: the feeds that offered
  // them are not asked again before their interval, so the marks must survive the
  // reload of the list file, or their files would be deleted as unused. Worker only.
  std::vector<std::wstring> carriedMarks_;
  CThreadExitGate exitGate_;  // the worker's last step; see system/thread_exit_gate.h
  std::thread thread_;
  bool started_ = false;  // a thread was created (the handle exists), host's thread only
  mutable std::mutex finishMutex_;
  std::condition_variable finishedSignal_;
  bool finished_ = false;
  bool begun_ = false;  // the routine runs, past its loader calls; under finishMutex_
};

}  // namespace orvella
