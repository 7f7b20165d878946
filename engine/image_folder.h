// The image folder as the plug-in keeps it: its lock, which keeps a second worker out;
// the list file, which names the files the plug-in put there; the journal beside it,
// which holds every change until the list does; the replay of that journal after a
// crash; and the checks of what stands at a name before anything is written there.
//
// The folder is opened once for a batch (FolderHandle): every change of the batch goes to
// the folder as it was then, even when its path is renamed or swapped for a link meanwhile.
// The plug-in touches only what is its own: the lock file and the journal are its plain
// files (one link, its user's), leftovers of a crash carry the mark of a file being
// written, and a file the journal says was stored is recorded only when it is that very
// file, whole.
//
// A power cut loses what was not flushed, and may keep names whose bytes it lost. So the
// journal announces downloads, a group at a time and flushed, before their work files are
// made; a group of finished downloads reaches the disk together (one flush of the file
// system where that reaches the disk), then the entries naming each file's size and digest
// are flushed, and only then do the files take their names. The list names nothing whose
// bytes are not on the disk, and the next start clears away exactly what the journal
// announced and records exactly what it names whole.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/list_file_text.h"  // the largest list and journal read
#include "engine/list_journal.h"
#include "engine/local_names.h"  // the names of the folder's own files
#include "model/file_map.h"
#include "system/folder_handle.h"
#include "system/folder_lock.h"
#include "system/safe_files.h"

namespace orvella {

/// What a read of the list file found.
enum class ListFileState {
  kLoaded,       // read and decoded
  kMissing,      // nothing at its name
  kUnreadable,   // a regular file that cannot be opened or read
  kNotRegular,   // a link, a pipe, a folder or a device: never read
  kTooLarge,     // larger than kMaxFolderRecordBytes: not read
  kWrongHeader,  // its first line is not the list's header
};

/// What a read of the journal found.
enum class JournalState {
  kNone,        // nothing at its name
  kReplayed,    // read and applied
  kUnreadable,  // a regular file that cannot be opened or read: not applied
  kNotOurs,     // not the plug-in's own plain file (a link, a pipe, a file with more than
                // one link, another user's): never read, written or removed
  kTooLarge,    // larger than kMaxFolderRecordBytes: not applied
};

/// The plug-in's record of one folder as its files say, before anything is changed.
struct FolderRecordState {
  ListFileState list = ListFileState::kMissing;
  JournalState journal = JournalState::kNone;
  /// What the journal's replay found (when replayed).
  JournalReplay replay;
  /// The list's new copy is there, left by a crash during a list write.
  bool listTempLeft = false;
  /// The stop flag ended the read: the records are incomplete and must not be written.
  bool stopped = false;
};

/// Reads the record of the folder `folder` holds into `files` (emptied first, its records
/// reused) as the plug-in loads it when its worker starts, changing nothing on disk: the
/// list file, read only when it is a regular file (never through a link, never blocking on
/// a pipe) of at most kMaxFolderRecordBytes, then the journal a crashed run left applied
/// onto it (ReplayJournal). Entries with an empty URL or a name that is not a plain file
/// name of the folder are skipped. Ends early once `stop` (null: none) is set. Returns what
/// it found; never throws but for allocation. Any thread.
FolderRecordState LoadFolderRecord(const FolderHandle& folder, CFileMap& files,
                                   const std::atomic<int32_t>* stop = nullptr);
/// LoadFolderRecord of the folder at the path `folder`, opened for the read (orvella-host's
/// report). Any thread.
FolderRecordState LoadFolderRecord(const std::wstring& folder, CFileMap& files);

/// The image folder one worker keeps its records in. The records themselves (`files`) are
/// the engine's; this object keeps them true to the folder: it owns the folder's handle,
/// lock and journal, loads and writes the list, and makes each change of a download or a
/// deletion after journaling it. Worker thread only.
class CImageFolder {
 public:
  /// `records` is the engine's map of local files; it outlives this object.
  explicit CImageFolder(CFileMap& records);
  CImageFolder(const CImageFolder&) = delete;
  CImageFolder& operator=(const CImageFolder&) = delete;

  /// The folder the records belong to; "" before the first load or after Forget.
  const std::wstring& Path() const { return path_; }
  /// True while this worker may change the folder of Path(): its lock is held.
  bool Owned() const { return owned_; }
  /// True when the records belong to `folder`, this worker holds its lock and, at a batch's
  /// start, the path still names the folder opened (renamed or swapped, it is another).
  bool Holds(const std::wstring& folder, bool batchStart) const;
  /// True when the records belong to `folder` and its path still names the folder opened.
  bool OpenedAt(const std::wstring& folder) const;

  /// Opens `folder` and takes its lock for this worker; moving from another folder lets
  /// that one go first (Release with `listCurrent`). Returns false, with the reason in
  /// `problem`, when the lock cannot be had: another worker holds it (`busy`), or the
  /// folder or its lock file refuses it. The folder is then read but never changed.
  bool TakeLock(const std::wstring& folder, bool listCurrent, bool& busy, std::wstring& problem);
  /// Loads the record of `folder` into the records (LoadFolderRecord) with the reader's
  /// log lines. When this worker owns the folder, finishes what a crash left: the
  /// plug-in's own leftovers of unfinished downloads and the files that did not survive a
  /// power cut whole are removed, and the list is written again. Returns false when that
  /// list write failed or the stop flag ended the load (then nothing is written, and
  /// `stopped` is set).
  bool Load(const std::wstring& folder, const std::atomic<int32_t>* stop, bool& stopped);
  /// Forgets the records and the folder: the setting names no usable folder.
  void Forget();
  /// Lets the folder go: the journal is removed when `listCurrent` says the list holds
  /// every change it recorded (no download runs now), then the lock is released.
  void Release(bool listCurrent);

  /// Writes all records to the list file: first the data of the files stored since the
  /// last list write goes to the disk, then the list through a marked temporary file that
  /// is flushed and then replaces it, then the folder's entries; then the journal goes.
  /// Entries that would not read back identically are left out, one log line each.
  /// Returns false, with the previous list untouched and one log line, when any step
  /// fails, when this worker does not own the folder, or when the stop flag ended a long
  /// write (the journal keeps every change then). `folder` is the records' folder, or the
  /// settings' one before the first load.
  bool WriteList(const std::wstring& folder, const std::atomic<int32_t>* stop = nullptr);
  /// Closes the journal kept open for a batch; the next entry opens it again.
  void EndBatch();
  /// Removes the journal when it holds only downloads that failed, which left nothing.
  void DropFailedJournal();

  /// The folder's handle (closed before the first load).
  const FolderHandle& Handle() const { return handle_; }
  /// What stands at `name` in the folder.
  EntryInfo Look(std::wstring_view name) const;
  /// True when anything (a link included) stands at `name` in the folder.
  bool IsTaken(std::wstring_view name) const;
  /// True when a record's file has this name: such a name is never a work file.
  bool IsRecordedName(std::wstring_view name) const;
  /// Returns a work name for a download of `name` that nothing stands at, that no record
  /// names and that no download in hand uses (nor one of `planned`, folded names), within
  /// the file systems' name length; "" when none can be found (a file that is not the
  /// plug-in's stands at the usual one).
  std::wstring ChooseWorkName(std::wstring_view name,
                              const std::unordered_set<std::wstring>& planned = {}) const;

  /// A download the journal announced: its URL, final name and work name.
  struct Intent {
    std::wstring url;
    std::wstring name;
    std::wstring work;
  };
  /// Journals that the downloads of `intents` begin and puts the entries on disk, with one
  /// flush for all of them: only then are their work files made, so that whatever a crash
  /// leaves at those names is named by the journal. False when the journal cannot be
  /// written or flushed (nothing of them may start then).
  bool Intend(const std::vector<Intent>& intents);
  /// The intent journaled for `url` and not yet downloaded; null when there is none.
  const Intent* IntentFor(const std::wstring& url) const;
  /// Creates the work file `work` for the download to fill.
  CreateOutcome CreateWork(std::wstring_view work, WorkFile& file) const;
  /// Moves the test file `probe` holds open at `name` to the work name `work`, where the
  /// download goes on in it: one file made per download, not a test file and a work file.
  /// When `work` is taken meanwhile the test file is closed and removed. Returns whether
  /// `probe` now holds the work file.
  bool AdoptProbe(WorkFile& probe, std::wstring_view name, std::wstring_view work) const;
  /// Closes and removes the test file `probe` holds open at `name`.
  void DropProbe(WorkFile& probe, std::wstring_view name) const;
  /// Removes the work file `work` of a download that failed.
  void DropWork(std::wstring_view work) const;

  /// Keeps the download of `url` into its intended work file, whole with `size` bytes of
  /// the content `digest`, to be committed with the others of its group.
  void AddDownloaded(const std::wstring& url, uint64_t size, std::string digest);
  /// True when a download of `url`, or one that will take `name`, waits for its commit.
  bool IsDownloaded(const std::wstring& url) const;
  bool IsNameInHand(std::wstring_view name) const;
  /// True when the downloads in hand should be committed now: many of them, a lot of
  /// bytes, or the first of them waiting for a second.
  bool CommitDue() const;
  /// Commits the downloads in hand, all at once: their bytes go to the disk (one flush of
  /// the file system where that reaches the disk), the entries naming each file's size and
  /// digest are journaled and flushed, and each work file takes its name where nothing has
  /// taken it meanwhile and is recorded (in use). Returns how many were stored; the others
  /// are removed with a log line each.
  int32_t CommitDownloads();

  /// Deletes the file of `record` and its "rprop" companion, journaled first; a journal
  /// that cannot be written (a full disk) does not hold the deletion up. Returns false,
  /// deleting nothing, when this worker may no longer change the folder.
  bool RemoveRecordedFile(const CFileData& record);
  /// True when the file of `record` is still in the folder whole. A record whose file is
  /// gone, or empty (a picture that did not survive a power cut), is removed from the
  /// records (journaled, the empty file with it) so that its item is fetched again;
  /// `modified` is then set.
  bool KeepIfPresent(const CFileData& record, int32_t& modified);
  /// Removes an empty plain file of this user's at `name` that no record names: a picture
  /// that did not survive a power cut, or the test creation a crash left. Returns true
  /// when it removed one.
  bool ClearEmptyFile(std::wstring_view name);

 private:
  /// True while the lock is still this worker's; a lock file deleted or replaced since is
  /// noticed here, once, and from then on nothing more is changed.
  bool MayChange();
  /// Appends `entry` to the journal while the folder is still this worker's; false when
  /// it is not or the entry could not be written (logged once).
  bool Journal(const JournalEntry& entry);
  /// Journal within a step that has just checked MayChange: a step checks once.
  bool AppendJournal(const JournalEntry& entry);
  /// Puts the journal's entries on disk; false when it cannot.
  bool FlushJournal();
  /// Removes the downloads in hand without storing them (the folder is let go).
  void DropDownloads();
  void CloseJournal();
  void RemoveJournal();
  /// The reader's log lines for what LoadFolderRecord found.
  void LogLoad(const std::wstring& folder, const FolderRecordState& state) const;
  /// Removes what the crash left of the load's unfinished downloads: the work files and
  /// test creations its bound entries name.
  void ClearLeftovers(const FolderRecordState& state);
  std::unordered_set<std::wstring> RecordedNames() const;
  std::wstring InFolder(std::wstring_view name) const;

  CFileMap& records_;
  std::wstring path_;  // the folder the records belong to; "" before the first load
  FolderHandle handle_;
  FolderLock lock_;              // after the handle: released before it closes
  bool owned_ = false;           // this worker may change path_: its lock is held
  bool journalCut_ = false;      // the journal ends inside a line (a crash cut it short)
  bool journalWritten_ = false;  // entries were appended since the list was written
  bool journalFailed_ = false;   // an entry could not be written in this batch (logged)
  AppendFile journalFile_;       // the journal, open while a batch writes to it
  /// The journal's bound entries of downloads not yet made, by URL.
  std::unordered_map<std::wstring, Intent> intents_;
  /// Downloads whose work files are whole and wait for the next commit.
  struct Downloaded {
    Intent intent;
    uint64_t size = 0;
    std::string digest;
  };
  std::vector<Downloaded> downloaded_;
  uint64_t downloadedBytes_ = 0;
  std::chrono::steady_clock::time_point firstDownloaded_;
  /// Names of the files the journal recorded at the load, whose data the list write
  /// flushes first.
  std::vector<std::wstring> unflushed_;
};

}  // namespace orvella
