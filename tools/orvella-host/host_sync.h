// The reference host's long-running commands: run the plug-in until stopped, or one pass.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tools/orvella-host/folder_record.h"
#include "tools/orvella-host/host_session.h"

namespace orvella::host {

/// One feed query that brought no items, as the plug-in's lines describe it.
struct FeedFailure {
  std::wstring query;        // the query URL as logged (token masked)
  int status = 0;            // the HTTP status the service answered; 0: none
  bool unreachable = false;  // no answer at all (connection refused, name unknown, ...)
};

/// The lines the worker wrote for one queued item it did not find in the folder, from its
/// first to the next refresh pass.
struct ItemAttempt {
  std::wstring url;  // from its download line; "" when it was refused before a download
  std::wstring key;  // the URL, or the first line when there is none: one per offered URL
};

/// What the worker's diagnostic lines tell about the first pass of a sync: which feeds
/// were asked and answered, which items were tried, and when the batch ended. The files
/// themselves are counted from the folder (folder_record.h), never from these lines.
class SyncProgress {
 public:
  SyncProgress();
  /// Takes one diagnostic line of the plug-in. Any thread.
  void Observe(const std::wstring& line);

  bool workerStarted() const;
  /// The first batch has ended ("Download complete").
  bool batchDone() const;
  /// The worker found the image folder locked by another worker: its batch waits for
  /// that one to end, which may be never.
  bool folderBusy() const;
  int feedsAsked() const;      // queries sent
  int feedsAnswered() const;   // queries that brought a list of items
  int offered() const;         // items those lists held
  int downloadsTried() const;  // downloads begun, for the progress line only
  /// Queries that brought nothing, in the order they were sent.
  std::vector<FeedFailure> failures() const;
  /// Sets how many feeds the pass asks (the enabled ones the plug-in loaded), for the
  /// progress line's total. Any thread.
  void SetFeedTotal(int feeds);
  /// The plug-in's line refusing the service's address (no request went out), without
  /// its "ServerBaseUrl: " prefix; "" when the address was not refused.
  std::wstring addressRefusal() const;
  /// "N of M feeds answered (K items), D downloads begun".
  std::string Describe() const;
  /// Returns how many offered URLs the worker tried and could not store: its item
  /// attempts whose URL `after` does not record, each URL (or refusal) counted once
  /// however often it was offered. Items found in the folder count as stored.
  int FailedItems(const FolderRecord& after) const;
  /// The system's reason for a full disk when a line of the plug-in carried it, else "".
  std::string diskFullReason() const;
  /// What the worker waits for since its last line, and for how long: "a feed query to
  /// URL", "the picture URL", or "" when its last line was no request.
  std::string WaitingFor(std::chrono::steady_clock::duration& quiet) const;
  /// Waits until a line was observed since the last call, or `timeout` has passed.
  void WaitForChange(std::chrono::milliseconds timeout);

 private:
  void Count(const std::wstring& line);          // mutex_ held
  void EndQuery();                               // mutex_ held
  bool CountItemLine(const std::wstring& line);  // mutex_ held; false: no item's line
  void EndItem();                                // mutex_ held
  void NoteDiskFull(const std::wstring& line);   // mutex_ held

  /// Keeps the plug-in's refusal of the service's address. mutex_ held.
  void NoteAddressRefusal(const std::wstring& line);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool unseen_ = false;
  bool started_ = false;
  bool done_ = false;
  bool busy_ = false;
  int asked_ = 0;
  int answered_ = 0;
  int offered_ = 0;
  int downloads_ = 0;
  bool querying_ = false;
  int feedTotal_ = 0;
  FeedFailure current_;
  std::vector<FeedFailure> failures_;
  bool inItem_ = false;
  ItemAttempt item_;
  std::vector<ItemAttempt> items_;
  std::vector<std::wstring> diskFullReasons_;  // the system's words for a full disk
  std::wstring diskFull_;                      // the one a line carried
  std::chrono::steady_clock::time_point lastLine_ = std::chrono::steady_clock::now();
  std::wstring waitingFor_;
  std::wstring addressRefusal_;
};

/// The sentence naming why a pass sent no feed query at all, or "" when it sent one:
/// the plug-in refused the service's address, or no feed is enabled. Any thread.
std::string NoQueryCause(const SyncProgress& progress);

/// Sentences that name the likely cause of failed queries, for the service at
/// `serviceUrl`: no monitor size (no display), a token the service refused (sign in
/// again), another HTTP status, or no answer at all. One per cause. Any thread.
std::vector<std::string> FailureHints(const std::vector<FeedFailure>& failures,
                                      const std::string& serviceUrl);

/// Starts the worker (message 9) and streams its diagnostic lines until Ctrl-C or a
/// terminate request, then stops it (message 10) and unloads the module. Returns 1 when
/// no worker could be started (plug-in disabled or no feed), else 130 after Ctrl-C and
/// 143 after a terminate request.
int CommandRun(HostSession& session);

/// Enables the plug-in for this run (not saved), starts the worker, waits until its
/// first batch has ended, stops it and prints "sync: N present, N new, N failed, N
/// removed", counted from the folder's record (list file and journal) before and after.
/// While the worker waits on the service for long, says what it waits for. Returns 0
/// when every feed answered and every offered item is in the folder; 1 when the folder
/// cannot be written or is in use by another worker, no worker could be started, no feed
/// query could be sent, a feed query failed, an item is missing or the list cannot be read
/// after the pass; 130 or 143 when stopped by a signal.
int CommandSync(HostSession& session);

}  // namespace orvella::host
