// The image folder as the plug-in keeps it: its lock, which keeps a second worker out;
// the list file, which names the files the plug-in put there; the journal beside it,
// which holds every change until the list does; the replay of that journal after a
// crash; and the checks of what stands at a name before anything is written there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/list_journal.h"
#include "model/file_map.h"
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
  kNotRegular,  // not a regular file: never read
  kTooLarge,    // larger than kMaxFolderRecordBytes: not applied
};

/// The plug-in's record of one folder as its files say, before anything is changed.
struct FolderRecordState {
  ListFileState list = ListFileState::kMissing;
  JournalState journal = JournalState::kNone;
  /// Whole entries the journal held (when replayed).
  std::size_t journalEntries = 0;
  /// The journal ends inside a line: a crash cut its last write short.
  bool journalCut = false;
  /// Names of the downloads the journal shows begun, in order.
  std::vector<std::wstring> begun;
  /// The list's temporary file is there: a crash came during a list write.
  bool listTempLeft = false;
};

/// Reads the record of `folder` into `files` (emptied first, its records reused) as the
/// plug-in loads it when its worker starts, changing nothing on disk: the list file, read
/// only when it is a regular file (never through a link, never blocking on a pipe) of at
/// most kMaxFolderRecordBytes, then the journal a crashed run left applied onto it (a
/// stored file is recorded when something stands at its name, a removed one is forgotten
/// when nothing does). Entries with an empty URL or a name that is not a plain file name of
/// the folder are skipped. Returns what it found; never throws but for allocation. Any
/// thread (the worker, and orvella-host for its report).
FolderRecordState LoadFolderRecord(const std::wstring& folder, CFileMap& files);

/// The image folder one worker keeps its records in. The records themselves (`files`) are
/// the engine's; this object keeps them true to the folder: it owns the folder's lock and
/// journal, loads and writes the list, and makes each change of a download or a deletion
/// after journaling it. Worker thread only.
class CImageFolder {
 public:
  /// `records` is the engine's map of local files; it outlives this object.
  explicit CImageFolder(CFileMap& records);
  CImageFolder(const CImageFolder&) = delete;
  CImageFolder& operator=(const CImageFolder&) = delete;

  /// The folder the records belong to; "" before the first load or after Forget.
  const std::wstring& Path() const { return path_; }
  /// True while this worker may change the folder of Path().
  bool Owned() const { return owned_; }
  /// True when the records belong to `folder` and this worker may change it.
  bool Holds(const std::wstring& folder) const { return owned_ && folder == path_; }

  /// Takes the lock of `folder` for this worker; moving from another folder lets that one
  /// go first (Release with `listCurrent`). Returns false when another worker holds it. A folder
  /// where no lock can be made at all (no such folder, no right to write) counts as taken: nobody
  /// else can lock it either.
  bool TakeLock(const std::wstring& folder, bool listCurrent);
  /// Loads the record of `folder` into the records (LoadFolderRecord) with the reader's
  /// log lines. When this worker owns the folder, finishes what a crash left: the work
  /// files and test creations of unfinished downloads are removed and the list is written
  /// again. Returns false when that list write failed: the records then hold changes the
  /// list lacks.
  bool Load(const std::wstring& folder);
  /// Forgets the records and the folder: the setting names no usable folder.
  void Forget();
  /// Lets the folder go: the journal is removed when `listCurrent` says the list holds
  /// every change it recorded (no download runs now), then the lock is released.
  void Release(bool listCurrent);

  /// Writes all records to the list file of `folder` through a temporary file that is
  /// flushed to disk and then replaces it, and the folder's entries after it; then the
  /// journal goes. Entries that would not read back identically are left out, one log line
  /// each. Returns false, with the previous list untouched and one log line, when any step
  /// fails.
  bool WriteList(const std::wstring& folder);
  /// Closes the journal kept open for a batch; the next entry opens it again.
  void EndBatch();
  /// Removes the journal when it holds only downloads that failed, which left nothing.
  void DropFailedJournal();

  /// Journals that a download of `name` from `url` begins: from here on a crash leaves an
  /// entry telling the next load what to clear away. False when it cannot be written.
  bool BeginDownload(const std::wstring& url, const std::wstring& name);
  /// Gives the downloaded work file `work` the name `name` (journaled first), only when
  /// nothing has taken that name meanwhile. Returns false, with the work file removed and
  /// one log line, when it did not.
  bool StoreDownload(const std::wstring& url, const std::wstring& name, const std::wstring& work);
  /// Deletes the file of `record` and its "rprop" companion, journaled first. Returns false,
  /// deleting nothing, when the journal entry cannot be written.
  bool RemoveRecordedFile(const CFileData& record);
  /// True when the file of `record` is still in the folder. A record whose file is gone is
  /// removed from the records (journaled), so that its item is fetched again; `modified`
  /// is then set.
  bool KeepIfPresent(const CFileData& record, int32_t& modified);

  /// True when anything (a link included) stands at `name` in the folder.
  bool IsTaken(std::wstring_view name) const;
  /// True when a record's file has this name: such a name is never a work file.
  bool IsRecordedName(std::wstring_view name) const;

 private:
  bool Journal(JournalKind kind, const std::wstring& url, const std::wstring& name);
  void CloseJournal();
  void RemoveJournal(const std::wstring& folder);
  /// The reader's log lines for what LoadFolderRecord found.
  void LogLoad(const std::wstring& folder, const FolderRecordState& state) const;
  /// Removes what an unfinished download of `name` may have left: its work file, and the
  /// empty file of its test creation, unless a record claims the name (`recorded` holds
  /// the records' names as FoldedName gives them).
  void ClearUnfinished(const std::wstring& name, const std::unordered_set<std::wstring>& recorded);
  std::unordered_set<std::wstring> RecordedNames() const;

  CFileMap& records_;
  std::wstring path_;   // the folder the records belong to; "" before the first load
  bool owned_ = false;  // this worker may change path_: its lock is held, or no lock can
                        // be made there at all (it then works unguarded)
  FolderLock lock_;
  bool journalCut_ = false;      // the journal ends inside a line (a crash cut it short)
  bool journalWritten_ = false;  // entries were appended since the list was written
  AppendFile journalFile_;       // the journal, open while a batch writes to it
  std::wstring journalPath_;     // the journal journalFile_ has open
};

}  // namespace orvella
