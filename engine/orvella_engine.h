// The one engine object: configuration plus the download queue, local files and worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/engine_owner.h"
#include "engine/feed_backoff.h"
#include "engine/list_journal.h"
#include "model/file_map.h"
#include "model/orvella_model.h"
#include "net/image_session.h"
#include "system/folder_lock.h"
#include "system/monitors.h"
#include "system/safe_files.h"
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
  void ReadLocalFileList();
  /// Writes all of `files` to the list file of the folder they belong to, through a
  /// temporary file that is flushed to disk and then replaces it; the journal goes once
  /// the list holds its changes. Entries that would not read back identically are left
  /// out, one log line each. Returns false, with the previous list file untouched and
  /// one log line, when any step fails. Changes no flag.
  bool WriteLocalFileList();
  /// Releases the image folder's lock. The worker's end; the next read takes it again.
  void ReleaseFolder();

  // ---- Naming and download (worker thread) ----

  /// Derives the bare file name from the URL's last path segment and the full path in
  /// the image folder. Returns true when the file does not exist and can be created;
  /// false, with one log line, otherwise (the outputs are set when it exists).
  bool BuildLocalName(const std::wstring& url, std::wstring& path, std::wstring& name);
  /// DownloadImage (engine/download_image.h) through this engine's session opener.
  int32_t DownloadImage(const std::wstring& url, const std::wstring& target,
                        const std::atomic<int32_t>* stop);

  // ---- Refresh cycle and download queue (worker thread) ----

  /// Queries every enabled feed that is due and appends what it found to `queue`. A feed
  /// whose query failed waits as `backoff` says. Ends early, before the next feed, once
  /// `stopFlag` is set; a query in progress then fails as any failed query does. Lets the
  /// feed query's JSON errors through.
  void Refresh();
  /// Takes one item off `queue` and downloads it unless present; returns 1. With an
  /// empty queue finishes the batch (unused files, list file, host notice) and returns 0.
  /// Returns 0 without taking an item when the image folder is empty or relative (the
  /// queue is dropped) or another worker holds it (the queue waits for the next pass);
  /// one log line each time.
  int32_t DownloadNext(const std::atomic<int32_t>* stop);
  /// Deletes the files (and their "rprop" companions) of records not met in any queue
  /// since the list file was loaded, subject to the minimum-age rule. Each deletion is
  /// journaled first; nothing is deleted in an empty or relative folder. Returns the
  /// number of records removed.
  int32_t RemoveUnusedFiles();

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
  int32_t modified = 0;     // files changed since the list was written
  int32_t downloading = 0;  // an item was taken since the queue was last empty
  int32_t stored = 0;       // this batch put a file into the folder
  /// Incremented whenever the host's thread replaces the feed array.
  uint64_t feedsGeneration = 0;
  /// The worker's stop flag, which ends a refresh pass and its feed query early; set by
  /// the worker before its loop (null: none). Worker thread only.
  const std::atomic<int32_t>* stopFlag = nullptr;

  /// When each feed is asked next: its interval and the back-off of its failures. Worker
  /// thread only (the worker's start resets it).
  FeedBackoff backoff;

  CEngineOwner& owner;
  TickSource tickCount;              // defaults to SystemTickCount
  MonitorSource monitors;            // defaults to the window system's monitors
  ImageSessionOpener imageSessions;  // defaults to the platform's HTTP sessions

 private:
  /// BuildLocalName up to the test creation: true when the name is usable and free.
  bool FreeLocalName(const std::wstring& folder, const std::wstring& url, std::wstring& path,
                     std::wstring& name);
  /// The test creation (created and removed again); false, with its log line, when the
  /// name cannot be created.
  bool ProbeLocalName(const std::wstring& path);
  void FetchItem(const std::wstring& folder, const std::wstring& url,
                 const std::atomic<int32_t>* stop);
  /// Stores a downloaded work file under its name; false (work file removed) on failure.
  bool StoreDownload(const std::wstring& folder, const std::wstring& url, const std::wstring& name,
                     const std::wstring& temp);
  void FinishBatch(const std::wstring& folder);
  int32_t RemoveUnusedIn(const std::wstring& folder);
  /// True when the record's file is still in the folder; a record whose file is gone is
  /// dropped (journaled) so that the item is fetched again.
  bool StillPresent(const std::wstring& folder, const CFileData& record);

  // The image folder (engine/image_folder.cpp).
  /// Makes `files` and the lock belong to `folder`: false, with one log line, when
  /// another worker holds it.
  bool EnterFolder(const std::wstring& folder);
  /// Takes the lock of `folder` for this engine; false when another worker holds it.
  bool TakeFolderLock(const std::wstring& folder);
  /// Loads the list file and the journal of `folder` into `files`.
  void LoadFolder(const std::wstring& folder);
  /// Reads the list file of `folder` into `files`, with its log line.
  void ReadListFile(const std::wstring& folder);
  /// Applies the journal of `folder` to `files`; returns the names of downloads it shows
  /// unfinished (their work files, and their test creations, may be left), and sets
  /// `journalFound` when a journal file was there.
  std::vector<std::wstring> ReplayJournal(const std::wstring& folder, bool& journalFound);
  /// Appends an entry to the journal of `folder`; false when it cannot be written.
  bool Journal(const std::wstring& folder, JournalKind kind, const std::wstring& url,
               const std::wstring& name);
  /// Closes the journal kept open for a batch; the next entry opens it again.
  void CloseJournal();
  /// Closes and removes the journal of `folder`: the list holds all it recorded.
  void RemoveJournal(const std::wstring& folder);
  bool WriteListIn(const std::wstring& folder);
  /// Removes what an unfinished download of `name` may have left in `folder`: its work
  /// file, and the empty file of its test creation, unless a record claims the name
  /// (`recorded` holds the records' names as FoldedName gives them).
  void ClearUnfinished(const std::wstring& folder, const std::wstring& name,
                       const std::unordered_set<std::wstring>& recorded);
  /// The records' names, each as FoldedName gives it.
  std::unordered_set<std::wstring> RecordedNames() const;
  /// True when a record's file has this name: such a name is never a work file.
  bool IsRecordedName(const std::wstring& name) const;

  std::wstring folder_;       // the folder `files` belongs to; "" before the first read
  bool folderOwned_ = false;  // this engine may change folder_: its lock is held, or no
                              // lock can be made there at all (it then works unguarded)
  FolderLock folderLock_;
  bool journalCut_ = false;      // the journal ends inside a line (a crash cut it short)
  bool journalWritten_ = false;  // entries were appended since the list was written
  AppendFile journalFile_;       // the journal, open while a batch writes to it
  std::wstring journalPath_;     // the journal journalFile_ has open
};

}  // namespace orvella
