// The reference host's long-running commands: run the plug-in until stopped, or one pass.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "tools/orvella-host/host_session.h"

namespace orvella::host {

/// What the worker's diagnostic lines tell about the first pass of a sync.
class SyncProgress {
 public:
  /// Takes one diagnostic line of the plug-in. Any thread.
  void Observe(const std::wstring& line);

  bool workerStarted() const;
  /// The first batch has ended ("Download complete").
  bool batchDone() const;
  int feedsAsked() const;     // "Refresh N:" lines of feeds that were queried
  int feedsAnswered() const;  // successful queries
  int queued() const;         // items the successful queries returned
  int downloaded() const;     // downloads that ended well
  int failed() const;         // downloads that failed
  /// "N items queued, M downloaded, K failed".
  std::string Describe() const;
  /// Waits until a line was observed since the last call, or `timeout` has passed.
  void WaitForChange(std::chrono::milliseconds timeout);

 private:
  void Count(const std::wstring& line);  // mutex_ held
  void EndDownload();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool unseen_ = false;
  bool started_ = false;
  bool done_ = false;
  int asked_ = 0;
  int answered_ = 0;
  int queued_ = 0;
  int downloaded_ = 0;
  int failed_ = 0;
  bool inDownload_ = false;
  bool downloadFailed_ = false;
};

/// Starts the worker (message 9) and streams its diagnostic lines until Ctrl-C or a
/// terminate request, then stops it (message 10) and unloads the module. Returns 1 when
/// no worker could be started (plug-in disabled or no feed), else 0.
int CommandRun(HostSession& session);

/// Enables the plug-in for this run (not saved), starts the worker, waits until its
/// first batch has ended, stops it and prints what it did. Returns 1 when no worker
/// could be started or no feed could be queried, 130 when interrupted, else 0.
int CommandSync(HostSession& session);

}  // namespace orvella::host
