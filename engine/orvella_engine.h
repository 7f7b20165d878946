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
#include "engine/feed_backoff.h"
#include "engine/image_folder.h"
#include "model/file_map.h"
#include "model/orvella_model.h"
#include "net/image_session.h"
#include "net/url_parse.h"
#include "system/monitors.h"
#include "system/tick_count.h"

namespace orvella {

/// Returns the milliseconds since the system started (never wrapping; its low 32 bits are
/// the feeds' lastTm tick). Any thread.
using TickSource = std::function<uint64_t()>;

class COrvellaEngine : public COrvellaConfig {
 public:
  /// `owner` provides the settings and the new-files notice; it outlives the engine.
  explicit COrvellaEngine(CEngineOwner& owner);
  COrvellaEngine(const COrvellaEngine&) = delete;
  COrvellaEngine& operator=(const COrvellaEngine&) = delete;

  // ---- List file and image folder (worker thread) ----

  /// Replaces `files` with what the image folder holds of ours: the list file's entries
  /// (inUse 0), then what the journal beside it adds or removes since the list was last
  /// written. Takes the folder's lock when no other worker has it; holding it, finishes
  /// what a crash left (the list is written again, the journal and leftover work files
  /// removed). Entries with an empty URL or a name that is not a plain file name of the
  /// folder are skipped. An empty or relative folder reads as no list. Clears `modified`
  /// and `downloading` (sets `modified` again when the journal could not be folded in).
  /// Logs the outcome.
  /// Ends early, reading nothing into `files` and writing nothing, once `stop` (null: none)
  /// is set during a long read.
  void ReadLocalFileList(const std::atomic<int32_t>* stop = nullptr);
  /// Writes all of `files` to the list file of the folder they belong to, through a
  /// temporary file that is flushed to disk and then replaces it; the journal goes once
  /// the list holds its changes. Entries that would not read back identically are left
  /// out, one log line each. Returns false, with the previous list file untouched and
  /// one log line, when any step fails. Changes no flag.
  /// A long write ends early once `stop` (null: none) is set (the journal keeps every
  /// change then); a list of fewer than 65,536 entries is always written whole.
  bool WriteLocalFileList(const std::atomic<int32_t>* stop = nullptr);
  /// Releases the image folder's lock. The worker's end; the next read takes it again.
  void ReleaseFolder();

  // ---- Naming and download (worker thread) ----

  /// Derives the bare file name from the URL's last path segment and the full path in
  /// the image folder. Returns true when the file does not exist and can be created;
  /// false, with one log line, otherwise (the outputs are set when it exists).
  bool BuildLocalName(const std::wstring& url, std::wstring& path, std::wstring& name);
  /// BuildLocalName of a parsed URL in `folder`: the download step parses each URL once.
  /// With `keep`, always in the folder the batch opened (the worker holds it), the file
  /// that proved the name is left open in `keep` for the download to take over.
  bool BuildLocalName(const ParsedUrl& parsed, const std::wstring& folder, std::wstring& path,
                      std::wstring& name, WorkFile* keep = nullptr);
  /// DownloadImage (engine/download_image.h) through this engine's session opener.
  int32_t DownloadImage(const std::wstring& url, const std::wstring& target,
                        const std::atomic<int32_t>* stop);

  // ---- Refresh cycle and download queue (worker thread) ----

  /// Queries every enabled feed that is due and appends what it found to `queue`. A feed
  /// whose query failed waits as `backoff` says. Ends early, before the next feed, once
  /// `stop` (null: none) is set; a query in progress then fails as any failed query does.
  /// Throws the feed query's CServiceAnswerError.
  void Refresh(const std::atomic<int32_t>* stop = nullptr);
  /// Takes one item off `queue` and downloads it unless present; returns 1. With an
  /// empty queue finishes the batch (unused files, list file, host notice) and returns 0.
  /// Returns 0 without taking an item when the image folder is empty or relative (the
  /// queue is dropped) or another worker holds it (the queue waits for the next pass);
  /// one log line each time.
  int32_t DownloadNext(const std::atomic<int32_t>* stop);
  /// Deletes the files (and their "rprop" companions) of records not met in any queue
  /// since the list file was loaded, subject to the minimum-age rule, in the folder the
  /// records belong to. Each deletion is journaled first; nothing is deleted in a folder
  /// this worker does not own, nor in an empty or relative one. Returns the number of
  /// records removed.
  /// Ends early, between records, once `stop` (null: none) is set.
  int32_t RemoveUnusedFiles(const std::atomic<int32_t>* stop = nullptr);

  /// Stores the downloads in hand (CImageFolder::CommitDownloads) as records in use; the
  /// batch end does it, and so does a group that is due.
  void CommitDownloads();

  /// URLs of the records met in a queue since the list file was loaded (inUse set).
  std::vector<std::wstring> UrlsInUse() const;
  /// Sets inUse again on the records under `urls` that exist; others are ignored.
  void RestoreUseMarks(const std::vector<std::wstring>& urls);

  /// Copies the settings the worker reads. Takes the lock. Any thread.
  PluginSettings SnapshotSettings();
  /// True when every enabled feed has had a successful query. Takes the lock.
  bool AllEnabledFeedsQueried();

  /// Guards feeds, token, user and the settings the worker reads. Never held across
  /// network I/O or a call of the host callback.
  std::mutex lock;
  COrvellaItemList queue;   // download queue, worker thread only
  CFileMap files;           // local files by URL, worker thread only
  int32_t modified = 0;     // files changed since the list was written
  int32_t downloading = 0;  // an item was taken since the queue was last empty
  int32_t stored = 0;       // this batch put a file into the folder
  /// Incremented whenever the host's thread replaces the feed array.
  uint64_t feedsGeneration = 0;
  /// The image folder `files` belong to: its lock, journal and list file. Worker thread.
  CImageFolder imageFolder{files};

  /// When each feed is asked next: its interval and the back-off of its failures. Worker
  /// thread only (the worker's start resets it).
  FeedBackoff backoff;

  CEngineOwner& owner;
  TickSource tickCount;              // defaults to SystemTickCount
  MonitorSource monitors;            // defaults to the window system's monitors
  ImageSessionOpener imageSessions;  // defaults to the platform's HTTP sessions

 private:
  /// Names, downloads and stores one item whose URL no record holds.
  void FetchItem(const std::wstring& folder, const std::wstring& url,
                 const std::atomic<int32_t>* stop);
  void FinishBatch(const std::wstring& folder, const std::atomic<int32_t>* stop);
  /// Journals (and flushes) the downloads the queue's head will need, before any of their
  /// work files is made.
  void PlanDownloads(const std::wstring& folder);

  /// Makes `files` and the lock belong to `folder`: false, with one log line, when
  /// another worker holds it.
  bool EnterFolder(const std::wstring& folder);
};

}  // namespace orvella
