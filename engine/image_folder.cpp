// CImageFolder: the lock, the journal, the list file and the crash replay of the folder
// the worker keeps its records in. After a crash the next load replays the journal:
// files that reached their names are recorded, deletions that happened are forgotten,
// and work files of downloads that never finished are removed.
#include "engine/image_folder.h"

#include <filesystem>
#include <system_error>

#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

constexpr wchar_t kCompanionExtension[] = L"rprop";

// The extension is changed on the bare name, then joined to the folder: a dot in the
// folder's own name can never move the file out of it.
std::wstring CompanionPath(const std::wstring& folder, std::wstring name) {
  ChangeExtension(name, kCompanionExtension);
  return JoinFolder(folder, name);
}

// Deletes a file (never a folder); failures are ignored.
void RemoveFile(const std::wstring& path) {
  std::error_code ec;
  const std::filesystem::path file = FsPath(path);
  if (std::filesystem::is_directory(std::filesystem::symlink_status(file, ec))) return;
  std::filesystem::remove(file, ec);
}

}  // namespace

CImageFolder::CImageFolder(CFileMap& records) : records_(records) {}

bool CImageFolder::TakeLock(const std::wstring& folder, bool listCurrent) {
  if (folder != path_) Release(listCurrent);
  switch (lock_.TryAcquire(FsPath(JoinFolder(folder, kLockFileName)))) {
    case FolderLock::Outcome::kLocked:
      owned_ = true;
      break;
    case FolderLock::Outcome::kFailed:
      // No lock can be made there (no such folder, no right to write, something planted
      // at the lock's name): nobody else can lock it either, so the work goes on as it
      // would without locks, and fails where the folder refuses it.
      owned_ = true;
      break;
    case FolderLock::Outcome::kBusy:
      owned_ = false;
      break;
  }
  return owned_;
}

void CImageFolder::Release(bool listCurrent) {
  // No download runs now: a journal that holds nothing the list lacks is not needed.
  if (owned_ && journalWritten_ && listCurrent) RemoveJournal(path_);
  CloseJournal();
  lock_.Release();
  owned_ = false;
}

void CImageFolder::Forget() {
  path_.clear();
  ForgetListedFiles(records_);
}

bool CImageFolder::Load(const std::wstring& folder) {
  path_ = folder;
  CloseJournal();
  journalCut_ = false;
  journalWritten_ = false;
  const FolderRecordState state = LoadFolderRecord(folder, records_);
  LogLoad(folder, state);
  journalCut_ = state.journalCut;
  // A worker that does not own the folder reads it as it is and changes nothing.
  if (!owned_) return true;
  // Found but not replayed (too large, not a regular file), it is dropped once the list
  // is written.
  const bool journalFound =
      state.journal != JournalState::kNone && state.journal != JournalState::kUnreadable;
  if (!journalFound && !state.listTempLeft) return true;
  if (!state.begun.empty()) {
    const std::unordered_set<std::wstring> recorded = RecordedNames();
    for (const std::wstring& name : state.begun) ClearUnfinished(name, recorded);
  }
  return WriteList(folder);
}

void CImageFolder::LogLoad(const std::wstring& folder, const FolderRecordState& state) const {
  const std::wstring listPath = JoinFolder(folder, kListFileName);
  switch (state.list) {
    case ListFileState::kLoaded:
      WriteLog(L"ReadLocalFileList: file list loaded (%d entries)", records_.GetCount());
      break;
    case ListFileState::kWrongHeader:
      WriteLog(L"ReadLocalFileList: wrong file header");
      break;
    case ListFileState::kTooLarge:
      WriteLog(L"ReadLocalFileList: file list larger than %d MiB, taken as missing: %s",
               kMaxFolderRecordBytes >> 20, listPath);
      break;
    case ListFileState::kNotRegular:
      WriteLog(L"ReadLocalFileList: not a regular file, taken as missing: %s", listPath);
      WriteLog(L"ReadLocalFileList: file list not found");
      break;
    case ListFileState::kMissing:
    case ListFileState::kUnreadable:
      WriteLog(L"ReadLocalFileList: file list not found");
      break;
  }
  if (state.journal == JournalState::kTooLarge) {
    WriteLog(L"ReadLocalFileList: journal larger than %d MiB, not replayed: %s",
             kMaxFolderRecordBytes >> 20, JoinFolder(folder, kJournalFileName));
  }
  if (state.journal == JournalState::kReplayed)
    WriteLog(L"ReadLocalFileList: journal replayed (%d entries)", state.journalEntries);
}

bool CImageFolder::WriteList(const std::wstring& folder) {
  const std::wstring path = JoinFolder(folder, kListFileName);
  if (!IsUsableImageFolder(folder)) {
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  std::vector<std::wstring> refused;
  const std::string bytes = EncodeListFile(records_, &refused);
  for (const std::wstring& url : refused)
    WriteLog(L"WriteLocalFileList: entry left out, it would not read back: %s", PrintableText(url));
  // The old list stays in place until the new one is completely on disk; the temporary
  // name is created afresh, never written through what stands there.
  const std::wstring temp = JoinFolder(folder, kListTempFileName);
  WorkFile file;
  const CreateOutcome created = CreateWorkFile(file, FsPath(temp));
  bool ok = created == CreateOutcome::kCreated && file.Write(bytes) && file.Flush();
  ok = file.Close() && ok;
  if (ok) ok = MoveReplacing(FsPath(temp), FsPath(path));
  if (!ok) {
    if (created == CreateOutcome::kCreated) RemoveRegularFile(FsPath(temp));
    if (created == CreateOutcome::kTaken)
      WriteLog(L"WriteLocalFileList: not a regular file, left alone: %s", temp);
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  // The new name is on disk before the journal that it replaces goes.
  FlushFolder(FsPath(folder));
  if (journalWritten_ || IsNameTaken(folder, kJournalFileName)) {
    RemoveJournal(folder);
    journalCut_ = false;
  }
  return true;
}

void CImageFolder::EndBatch() {
  CloseJournal();
}

void CImageFolder::DropFailedJournal() {
  if (journalWritten_) RemoveJournal(path_);
}

bool CImageFolder::Journal(JournalKind kind, const std::wstring& url, const std::wstring& name) {
  std::string bytes = journalCut_ ? "\r\n" : "";  // ends the line a crash cut short
  if (!EncodeJournalEntry({kind, url, name}, bytes)) return false;
  // The journal stays open for the batch: two entries per download would otherwise each
  // open and close it. One deleted meanwhile is made again, or the entries would go with it.
  const std::wstring path = JoinFolder(path_, kJournalFileName);
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

void CImageFolder::CloseJournal() {
  journalFile_.Close();
  journalPath_.clear();
}

void CImageFolder::RemoveJournal(const std::wstring& folder) {
  CloseJournal();  // an open file could not be removed everywhere
  RemoveRegularFile(FsPath(JoinFolder(folder, kJournalFileName)));
  journalWritten_ = false;
}

bool CImageFolder::BeginDownload(const std::wstring& url, const std::wstring& name) {
  return Journal(JournalKind::kStarted, url, name);
}

bool CImageFolder::StoreDownload(const std::wstring& url, const std::wstring& name,
                                 const std::wstring& work) {
  const std::wstring temp = JoinFolder(path_, work);
  const std::wstring path = JoinFolder(path_, name);
  // Journaled before the file takes its name: after a crash the next load records it if
  // it is there. The name was free when the download began; whatever has taken it since
  // is not ours to replace.
  if (!Journal(JournalKind::kStored, url, name)) {
    RemoveRegularFile(FsPath(temp));
    return false;
  }
  if (!MoveNoReplace(FsPath(temp), FsPath(path))) {
    Journal(JournalKind::kGivenUp, url, name);
    RemoveRegularFile(FsPath(temp));
    WriteLog(L"DownloadNext(), can't rename %s to %s", temp, path);
    return false;
  }
  return true;
}

bool CImageFolder::RemoveRecordedFile(const CFileData& record) {
  // Without the journal entry a crash could keep a record of a deleted file.
  if (!Journal(JournalKind::kRemoved, record.url, record.localName)) return false;
  // The companion first: a crash between the two leaves the file, and its record.
  RemoveFile(CompanionPath(path_, record.localName));
  RemoveFile(JoinFolder(path_, record.localName));
  return true;
}

bool CImageFolder::KeepIfPresent(const CFileData& record, int32_t& modified) {
  if (IsTaken(record.localName)) return true;
  // Gone from the folder: a record kept would one day delete whatever else takes the
  // name, perhaps the user's own file.
  const std::wstring url = record.url;
  Journal(JournalKind::kRemoved, url, record.localName);
  records_.Remove(url);
  modified = 1;
  return false;
}

bool CImageFolder::IsTaken(std::wstring_view name) const {
  return IsNameTaken(path_, name);
}

bool CImageFolder::IsRecordedName(std::wstring_view name) const {
  for (const CFileData& record : records_) {
    if (SameFileName(record.localName, name)) return true;
  }
  return false;
}

void CImageFolder::ClearUnfinished(const std::wstring& name,
                                   const std::unordered_set<std::wstring>& recorded) {
  const std::wstring work = WorkName(name);
  if (recorded.count(FoldedName(work)) == 0) RemoveRegularFile(FsPath(JoinFolder(path_, work)));
  // The test creation of the name, made and removed again at once: an empty file there
  // that no record claims is what a crash between the two left.
  const std::filesystem::path file = FsPath(JoinFolder(path_, name));
  std::error_code ec;
  if (recorded.count(FoldedName(name)) == 0 && KindOf(file) == EntryKind::kRegular &&
      std::filesystem::file_size(file, ec) == 0 && !ec) {
    RemoveRegularFile(file);
  }
}

std::unordered_set<std::wstring> CImageFolder::RecordedNames() const {
  std::unordered_set<std::wstring> names;
  for (const CFileData& record : records_) names.insert(FoldedName(record.localName));
  return names;
}

}  // namespace orvella
