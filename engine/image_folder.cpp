// The image folder the engine works in: its lock, which keeps a second worker out, and
// the journal, which keeps every change the worker makes there until the list file
// holds it. After a crash the next read of the folder replays the journal: files that
// reached their names are recorded, deletions that happened are forgotten, and work
// files of downloads that never finished are removed.
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "base/write_log.h"
#include "engine/list_file_text.h"
#include "engine/list_journal.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"
#include "system/safe_files.h"

namespace orvella {

bool COrvellaEngine::TakeFolderLock(const std::wstring& folder) {
  if (folder != folder_) ReleaseFolder();
  switch (folderLock_.TryAcquire(FsPath(JoinFolder(folder, kLockFileName)))) {
    case FolderLock::Outcome::kLocked:
      folderOwned_ = true;
      break;
    case FolderLock::Outcome::kFailed:
      // No lock can be made there (no such folder, no right to write, something planted
      // at the lock's name): nobody else can lock it either, so the work goes on as it
      // would without locks, and fails where the folder refuses it.
      folderOwned_ = true;
      break;
    case FolderLock::Outcome::kBusy:
      folderOwned_ = false;
      break;
  }
  return folderOwned_;
}

void COrvellaEngine::ReleaseFolder() {
  // No download runs now: a journal that holds nothing the list lacks is not needed.
  if (folderOwned_ && journalWritten_ && modified == 0) RemoveJournal(folder_);
  CloseJournal();
  folderLock_.Release();
  folderOwned_ = false;
}

bool COrvellaEngine::EnterFolder(const std::wstring& folder) {
  if (folder == folder_ && folderOwned_) return true;
  // The settings moved to another folder: the records belong to the one they came from.
  if (folder != folder_ && folderOwned_ && modified != 0) WriteListIn(folder_);
  const bool sameFolder = folder == folder_;
  if (!TakeFolderLock(folder)) {
    WriteLog(L"DownloadNext(), image folder in use by another worker, tried again later: %s",
             folder);
    return false;
  }
  // Another worker may have changed the folder while this one waited: its state is read
  // again, keeping the marks of what this worker's queues met.
  const std::vector<std::wstring> marks = sameFolder ? UrlsInUse() : std::vector<std::wstring>{};
  modified = 0;
  LoadFolder(folder);
  RestoreUseMarks(marks);
  return true;
}

void COrvellaEngine::LoadFolder(const std::wstring& folder) {
  folder_ = folder;
  ReadListFile(folder);
  bool journalFound = false;
  const std::vector<std::wstring> unfinished = ReplayJournal(folder, journalFound);
  // A worker that does not own the folder reads it as it is and changes nothing.
  if (!folderOwned_) return;
  const bool tempLeft =
      KindOf(FsPath(JoinFolder(folder, kListTempFileName))) == EntryKind::kRegular;
  if (!journalFound && !tempLeft) return;
  if (!unfinished.empty()) {
    const std::unordered_set<std::wstring> recorded = RecordedNames();
    for (const std::wstring& name : unfinished) ClearUnfinished(folder, name, recorded);
  }
  if (!WriteListIn(folder)) modified = 1;
}

std::vector<std::wstring> COrvellaEngine::ReplayJournal(const std::wstring& folder,
                                                        bool& journalFound) {
  CloseJournal();
  journalCut_ = false;
  journalWritten_ = false;
  std::string bytes;
  const std::wstring path = JoinFolder(folder, kJournalFileName);
  const ReadOutcome read = ReadRegularFile(FsPath(path), false, bytes, kMaxFolderRecordBytes);
  // Found but not replayed, it is dropped once the list is written.
  journalFound = read != ReadOutcome::kMissing;
  if (read == ReadOutcome::kTooLarge) {
    WriteLog(L"ReadLocalFileList: journal larger than %d MiB, not replayed: %s",
             kMaxFolderRecordBytes >> 20, path);
  }
  if (read != ReadOutcome::kRead) return {};
  bool cut = false;
  const std::vector<JournalEntry> entries = DecodeJournal(bytes, cut);
  journalCut_ = cut;
  const std::vector<std::wstring> unfinished = ApplyJournal(
      entries, [&folder](const std::wstring& name) { return IsNameTaken(folder, name); }, files);
  WriteLog(L"ReadLocalFileList: journal replayed (%d entries)", entries.size());
  return unfinished;
}

bool COrvellaEngine::Journal(const std::wstring& folder, JournalKind kind, const std::wstring& url,
                             const std::wstring& name) {
  std::string bytes = journalCut_ ? "\r\n" : "";  // ends the line a crash cut short
  if (!EncodeJournalEntry({kind, url, name}, bytes)) return false;
  // The journal stays open for the batch: two entries per download would otherwise each
  // open and close it. One deleted meanwhile is made again, or the entries would go with it.
  const std::wstring path = JoinFolder(folder, kJournalFileName);
  if (journalFile_.IsOpen() && (path != journalPath_ || !journalFile_.IsNamed())) CloseJournal();
  if (!journalFile_.IsOpen() && journalFile_.Open(FsPath(path))) journalPath_ = path;
  if (!journalFile_.Append(bytes)) {
    CloseJournal();
    WriteLog(L"DownloadNext(), can't write journal %s", path);
    return false;
  }
  journalCut_ = false;
  journalWritten_ = true;
  return true;
}

void COrvellaEngine::CloseJournal() {
  journalFile_.Close();
  journalPath_.clear();
}

void COrvellaEngine::RemoveJournal(const std::wstring& folder) {
  CloseJournal();  // an open file could not be removed everywhere
  RemoveRegularFile(FsPath(JoinFolder(folder, kJournalFileName)));
  journalWritten_ = false;
}

void COrvellaEngine::ClearUnfinished(const std::wstring& folder, const std::wstring& name,
                                     const std::unordered_set<std::wstring>& recorded) {
  const std::wstring work = WorkName(name);
  if (recorded.count(FoldedName(work)) == 0) RemoveRegularFile(FsPath(JoinFolder(folder, work)));
  // The test creation of the name, made and removed again at once: an empty file there
  // that no record claims is what a crash between the two left.
  const std::filesystem::path file = FsPath(JoinFolder(folder, name));
  std::error_code ec;
  if (recorded.count(FoldedName(name)) == 0 && KindOf(file) == EntryKind::kRegular &&
      std::filesystem::file_size(file, ec) == 0 && !ec) {
    RemoveRegularFile(file);
  }
}

std::unordered_set<std::wstring> COrvellaEngine::RecordedNames() const {
  std::unordered_set<std::wstring> names;
  for (const CFileData& record : files) names.insert(FoldedName(record.localName));
  return names;
}

bool COrvellaEngine::IsRecordedName(const std::wstring& name) const {
  for (const CFileData& record : files) {
    if (SameFileName(record.localName, name)) return true;
  }
  return false;
}

}  // namespace orvella
