// The one engine object: configuration plus the download queue, local files and worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_owner.h"
#include "model/orvella_model.h"
#include "net/image_session.h"
#include "system/monitors.h"

namespace orvella {

/// Returns a millisecond tick count that wraps after about 49.7 days. Any thread.
using TickSource = std::function<uint32_t()>;

class COrvellaEngine : public COrvellaConfig {
 public:
  /// `owner` provides the settings and the new-files notice; it outlives the engine.
  explicit COrvellaEngine(CEngineOwner& owner);
  COrvellaEngine(const COrvellaEngine&) = delete;
  COrvellaEngine& operator=(const COrvellaEngine&) = delete;

  // ---- List file (worker thread) ----

  /// Replaces `files` with the list file's entries (inUse 0), clears `modified` and
  /// `downloading`. Entries with an empty URL or a name that is not a plain file name of
  /// the folder are skipped. Logs the outcome.
  void ReadLocalFileList();
  /// Writes all of `files` to the list file through a temporary file that replaces it.
  /// Returns false, with the previous list file untouched and one log line, when any
  /// step fails. Changes no flag.
  bool WriteLocalFileList();

  // ---- Naming and download (worker thread) ----

  /// Derives the bare file name from the URL's last path segment and the full path in
  /// the image folder. Returns true when the file does not exist and can be created;
  /// false, with one log line, otherwise (the outputs are set when it exists).
  bool BuildLocalName(const std::wstring& url, std::wstring& path, std::wstring& name);
  /// DownloadImage (engine/download_image.h) through this engine's session opener.
  int32_t DownloadImage(const std::wstring& url, const std::wstring& target,
                        const std::atomic<int32_t>* stop);

  // ---- Refresh cycle and download queue (worker thread) ----

  /// Queries every enabled feed that is due and appends what it found to `queue`.
  /// Lets the feed query's JSON errors through.
  void Refresh();
  /// Takes one item off `queue` and downloads it unless present; returns 1. With an
  /// empty queue finishes the batch (unused files, list file, host notice) and returns 0.
  int32_t DownloadNext(const std::atomic<int32_t>* stop);
  /// Deletes the files (and their "rprop" companions) of records not met in any queue
  /// since the list file was loaded, subject to the minimum-age rule.
  void RemoveUnusedFiles();

  /// URLs of the records met in a queue since the list file was loaded (inUse set).
  std::vector<std::wstring> UrlsInUse() const;
  /// Sets inUse again on the records under `urls` that exist; others are ignored.
  void RestoreUseMarks(const std::vector<std::wstring>& urls);

  /// Copies the settings the worker reads. Takes the lock. Any thread.
  WorkerSettings SnapshotSettings();
  /// True when every enabled feed has had a successful query. Takes the lock.
  bool AllEnabledFeedsQueried();

  /// Guards feeds, token, user and the settings the worker reads. Never held across
  /// network I/O or a call of the host callback.
  std::mutex lock;
  COrvellaItemList queue;   // download queue, worker thread only
  CFileMap files;           // local files by URL, worker thread only
  int32_t modified = 0;     // files gained entries since the list was written
  int32_t downloading = 0;  // an item was taken since the queue was last empty
  /// Incremented whenever the host's thread replaces the feed array.
  uint64_t feedsGeneration = 0;

  CEngineOwner& owner;
  TickSource tickCount;              // defaults to the system's monotonic milliseconds
  MonitorSource monitors;            // defaults to the window system's monitors
  ImageSessionOpener imageSessions;  // defaults to the platform's HTTP sessions

 private:
  bool BuildLocalNameIn(const std::wstring& folder, const std::wstring& url, std::wstring& path,
                        std::wstring& name);
  void FetchItem(const std::wstring& folder, const std::wstring& url,
                 const std::atomic<int32_t>* stop);
  void FinishBatch();
};

/// The system tick count in milliseconds (monotonic, wrapping at 2^32). Any thread.
uint32_t SystemTickCount();

}  // namespace orvella
