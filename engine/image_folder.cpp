// CImageFolder: the handle, lock, journal, list file and crash replay of the folder the
// worker keeps its records in. After a crash the next load replays the journal: files
// that reached their names whole are recorded, deletions that happened are forgotten, and
// the plug-in's own leftovers of downloads that never finished are removed.
#include "engine/image_folder.h"

#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

constexpr wchar_t kCompanionExtension[] = L"rprop";

// The extension is changed on the bare name: a dot in the folder's own name can never
// move the file out of it.
std::wstring CompanionName(std::wstring name) {
  ChangeExtension(name, kCompanionExtension);
  return name;
}

}  // namespace

CImageFolder::CImageFolder(CFileMap& records) : records_(records) {}

std::wstring CImageFolder::InFolder(std::wstring_view name) const {
  return JoinFolder(path_, name);
}

bool CImageFolder::Holds(const std::wstring& folder, bool batchStart) const {
  return owned_ && folder == path_ && (!batchStart || handle_.StillAt(FsPath(folder)));
}

bool CImageFolder::OpenedAt(const std::wstring& folder) const {
  return folder == path_ && handle_.StillAt(FsPath(folder));
}

bool CImageFolder::TakeLock(const std::wstring& folder, bool listCurrent, bool& busy,
                            std::wstring& problem) {
  busy = false;
  problem.clear();
  if (folder != path_ || !handle_.StillAt(FsPath(folder))) {
    Release(listCurrent);
    handle_.Close();
    path_ = folder;
    if (!handle_.Open(FsPath(folder), problem)) return false;
  }
  if (owned_ && lock_.StillHeld()) return true;
  lock_.Release();
  std::wstring reason;
  switch (lock_.TryAcquire(handle_, kLockFileName, reason)) {
    case FolderLock::Outcome::kLocked:
      owned_ = true;
      break;
    case FolderLock::Outcome::kBusy:
      owned_ = false;
      busy = true;
      break;
    case FolderLock::Outcome::kFailed:
      // Something that is not the plug-in's own file stands at the lock's name, or the
      // folder refuses one: no lock, no change. Working unguarded would let a second
      // worker in whenever someone plants a link there.
      owned_ = false;
      problem = reason;
      break;
  }
  return owned_;
}

void CImageFolder::Release(bool listCurrent) {
  DropDownloads();
  // No download runs now: a journal that holds nothing the list lacks is not needed.
  if (owned_ && journalWritten_ && listCurrent && lock_.StillHeld()) RemoveJournal();
  CloseJournal();
  lock_.Release();
  owned_ = false;
}

void CImageFolder::Forget() {
  Release(false);
  handle_.Close();
  path_.clear();
  unflushed_.clear();
  ForgetListedFiles(records_);
}

bool CImageFolder::Load(const std::wstring& folder, const std::atomic<int32_t>* stop,
                        bool& stopped) {
  stopped = false;
  if (folder != path_ || !handle_.IsOpen()) {
    bool busy = false;
    std::wstring problem;
    TakeLock(folder, false, busy, problem);
  }
  CloseJournal();
  journalCut_ = false;
  journalWritten_ = false;
  unflushed_.clear();
  downloaded_.clear();
  downloadedBytes_ = 0;
  intents_.clear();
  if (!handle_.IsOpen()) {
    ForgetListedFiles(records_);
    WriteLog(L"ReadLocalFileList: file list not found");
    return true;
  }
  const FolderRecordState state = LoadFolderRecord(handle_, records_, stop);
  if (state.stopped) {
    // Part of the records only: nothing may be written from them.
    stopped = true;
    ForgetListedFiles(records_);
    return false;
  }
  LogLoad(folder, state);
  journalCut_ = state.replay.endsInsideLine;
  // A worker that does not own the folder reads it as it is and changes nothing.
  if (!owned_) return true;
  // Found but not replayed because it is too large, it is dropped once the list is
  // written; one that is not the plug-in's own is left where it is.
  const bool journalFound =
      state.journal == JournalState::kReplayed || state.journal == JournalState::kTooLarge;
  if (!journalFound && !state.listTempLeft) return true;
  ClearLeftovers(state);
  // Files the journal recorded may not be on disk yet: the list names them only after.
  unflushed_ = state.replay.recorded;
  return WriteList(folder, stop);
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
  const std::wstring journalPath = JoinFolder(folder, kJournalFileName);
  switch (state.journal) {
    case JournalState::kTooLarge:
      WriteLog(L"ReadLocalFileList: journal larger than %d MiB, not replayed: %s",
               kMaxFolderRecordBytes >> 20, journalPath);
      break;
    case JournalState::kNotOurs:
      WriteLog(L"ReadLocalFileList: journal is not the plug-in's own file, left alone: %s",
               journalPath);
      break;
    case JournalState::kReplayed:
      WriteLog(L"ReadLocalFileList: journal replayed (%d entries)", state.replay.entries);
      break;
    case JournalState::kNone:
    case JournalState::kUnreadable:
      break;
  }
}

void CImageFolder::ClearLeftovers(const FolderRecordState& state) {
  const std::unordered_set<std::wstring> recorded = RecordedNames();
  for (const auto& [name, work] : state.replay.begun) {
    // The work file the entry names, and the empty file the test creation of the name
    // leaves when a crash comes between making and removing it: what the journal
    // announced, unless a record holds the name.
    if (recorded.count(FoldedName(work)) == 0) handle_.Remove(work, RemoveRule::kOwnFile);
    if (recorded.count(FoldedName(name)) == 0 && handle_.Look(name).IsEmptyFile()) {
      handle_.Remove(name, RemoveRule::kOwnFile);
    }
  }
  if (state.listTempLeft) handle_.Remove(kListTempFileName, RemoveRule::kOwnFile);
}

bool CImageFolder::MayChange() {
  if (!owned_) return false;
  if (lock_.StillHeld()) return true;
  // Deleted or replaced under us: another worker may have made a lock of its own by now.
  owned_ = false;
  WriteLog(L"DownloadNext(), image folder lock was lost, nothing more is changed in: %s", path_);
  return false;
}

bool CImageFolder::WriteList(const std::wstring& folder, const std::atomic<int32_t>* stop) {
  const std::wstring path = JoinFolder(folder, kListFileName);
  if (IsUsableImageFolder(folder) && path_.empty()) {
    // Written before any load: the folder is this worker's only once it holds the lock.
    bool busy = false;
    std::wstring problem;
    TakeLock(folder, false, busy, problem);
  }
  if (!IsUsableImageFolder(folder) || folder != path_ || !MayChange()) {
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  // Downloads in hand are the records' too: they are stored first.
  CommitDownloads();
  std::vector<std::wstring> refused;
  bool stopped = false;
  const std::string bytes = EncodeListFile(records_, &refused, stop, &stopped);
  if (stopped) {
    WriteLog(L"WriteLocalFileList: stopped, the journal keeps the changes: %s", path);
    return false;
  }
  for (const std::wstring& url : refused)
    WriteLog(L"WriteLocalFileList: entry left out, it would not read back: %s", PrintableText(url));
  // The files the list names newly reach the disk first: a list that names a file whose
  // data a power cut took would call an empty picture present.
  if (!handle_.FlushFiles(unflushed_)) {
    WriteLog(L"WriteLocalFileList: stored files can't be flushed to disk: %s", path);
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  // The old list stays in place until the new one is completely on disk; the temporary
  // name is created afresh, never written through what stands there. The name is the
  // plug-in's own: a plain file of this user's with one link there is what a crash left,
  // and goes first; anything else stays, and the list is not written.
  WorkFile file;
  std::wstring reason;
  CreateOutcome created = handle_.CreateExclusive(kListTempFileName, file, &reason);
  if (created == CreateOutcome::kTaken && handle_.Remove(kListTempFileName, RemoveRule::kOwnFile))
    created = handle_.CreateExclusive(kListTempFileName, file, &reason);
  bool ok = created == CreateOutcome::kCreated && file.Write(bytes) && file.Flush();
  ok = file.Close() && ok;
  if (ok) ok = handle_.MoveReplacing(kListTempFileName, kListFileName);
  if (!ok) {
    if (created == CreateOutcome::kCreated) handle_.Remove(kListTempFileName, RemoveRule::kOwnFile);
    if (created == CreateOutcome::kTaken)
      WriteLog(L"WriteLocalFileList: not a regular file, left alone: %s",
               InFolder(kListTempFileName));
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  // The new name is on disk before the journal that it replaces goes.
  handle_.FlushEntries();
  unflushed_.clear();
  if (journalWritten_ || handle_.Look(kJournalFileName).kind != EntryKind::kNone) {
    RemoveJournal();
    journalCut_ = false;
  }
  return true;
}

void CImageFolder::EndBatch() {
  CloseJournal();
  journalFailed_ = false;
}

void CImageFolder::DropFailedJournal() {
  if (journalWritten_ && MayChange()) RemoveJournal();
}

bool CImageFolder::Journal(const JournalEntry& entry) {
  return MayChange() && AppendJournal(entry);
}

bool CImageFolder::AppendJournal(const JournalEntry& entry) {
  std::string bytes = journalCut_ ? "\r\n" : "";  // ends the line a crash cut short
  if (!EncodeJournalEntry(entry, bytes)) return false;
  // The journal stays open for the batch: two entries per download would otherwise each
  // open and close it. One deleted meanwhile is made again, or the entries would go with it.
  if (journalFile_.IsOpen() && !journalFile_.IsNamed()) CloseJournal();
  std::wstring reason;
  bool written =
      journalFile_.IsOpen() || handle_.OpenOwnForAppend(kJournalFileName, journalFile_, &reason);
  if (written) {
    bool partial = false;
    written = journalFile_.Append(bytes, &partial);
    // Part of the entry may stand at the end: the next one begins on a line of its own.
    if (!written && partial) journalCut_ = true;
    if (!written) reason = L"the disk refused the write (it may be full)";
  }
  if (!written) {
    CloseJournal();
    if (!journalFailed_)
      WriteLog(L"DownloadNext(), can't write journal %s: %s", InFolder(kJournalFileName), reason);
    journalFailed_ = true;
    return false;
  }
  journalCut_ = false;
  journalWritten_ = true;
  return true;
}

void CImageFolder::CloseJournal() {
  journalFile_.Close();
}

void CImageFolder::RemoveJournal() {
  CloseJournal();  // an open file could not be removed everywhere
  handle_.Remove(kJournalFileName, RemoveRule::kOwnFile);
  journalWritten_ = false;
}

EntryInfo CImageFolder::Look(std::wstring_view name) const {
  return handle_.Look(name);
}

bool CImageFolder::IsTaken(std::wstring_view name) const {
  return handle_.Look(name).kind != EntryKind::kNone;
}

bool CImageFolder::IsRecordedName(std::wstring_view name) const {
  for (const CFileData& record : records_) {
    if (SameFileName(record.localName, name)) return true;
  }
  return false;
}

std::wstring CImageFolder::ChooseWorkName(std::wstring_view name,
                                          const std::unordered_set<std::wstring>& planned) const {
  constexpr int kAttempts = 100;
  const auto inHand = [&](const std::wstring& work) {
    if (planned.count(FoldedName(work)) != 0) return true;
    for (const Downloaded& download : downloaded_) {
      if (SameFileName(download.intent.work, work)) return true;
    }
    for (const auto& [url, intent] : intents_) {
      if (SameFileName(intent.work, work)) return true;
    }
    return false;
  };
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::wstring work = WorkNameCandidate(name, attempt);
    if (SameFileName(work, name) || !IsUsableLocalName(work) || inHand(work)) continue;
    if (!IsTaken(work)) return work;
    // The usual work name taken by a file that is not a recorded picture: someone else's,
    // which the download neither removes nor goes around.
    if (attempt == 0 && NameUnits(work) <= kMaxNameUnits && !IsRecordedName(work)) return {};
  }
  return {};
}

bool CImageFolder::Intend(const std::vector<Intent>& intents) {
  if (intents.empty()) return true;
  if (!MayChange()) return false;
  for (const Intent& intent : intents) {
    JournalEntry entry(JournalKind::kStarted, intent.url, intent.name);
    entry.work = intent.work;
    if (!AppendJournal(entry)) return false;
  }
  // Not one work file is made before the entries that name them are on the disk.
  if (!FlushJournal()) return false;
  for (const Intent& intent : intents) intents_[intent.url] = intent;
  return true;
}

const CImageFolder::Intent* CImageFolder::IntentFor(const std::wstring& url) const {
  const auto found = intents_.find(url);
  return found == intents_.end() ? nullptr : &found->second;
}

CreateOutcome CImageFolder::CreateWork(std::wstring_view work, WorkFile& file) const {
  return handle_.CreateExclusive(work, file, nullptr);
}

bool CImageFolder::AdoptProbe(WorkFile& probe, std::wstring_view name,
                              std::wstring_view work) const {
  if (probe.IsOpen() && handle_.MoveOpenNoReplace(probe, name, work)) return true;
  DropProbe(probe, name);
  return false;
}

void CImageFolder::DropProbe(WorkFile& probe, std::wstring_view name) const {
  if (!probe.IsOpen()) return;
  probe.Close();
  handle_.Remove(name, RemoveRule::kOwnFile);
}

void CImageFolder::DropWork(std::wstring_view work) const {
  handle_.Remove(work, RemoveRule::kOwnFile);
}

void CImageFolder::AddDownloaded(const std::wstring& url, uint64_t size, std::string digest) {
  const auto found = intents_.find(url);
  if (found == intents_.end()) return;
  if (downloaded_.empty()) firstDownloaded_ = std::chrono::steady_clock::now();
  downloaded_.push_back({found->second, size, std::move(digest)});
  downloadedBytes_ += size;
  intents_.erase(found);
}

bool CImageFolder::IsDownloaded(const std::wstring& url) const {
  for (const Downloaded& download : downloaded_) {
    if (download.intent.url == url) return true;
  }
  return false;
}

bool CImageFolder::IsNameInHand(std::wstring_view name) const {
  for (const Downloaded& download : downloaded_) {
    if (SameFileName(download.intent.name, name)) return true;
  }
  return false;
}

bool CImageFolder::CommitDue() const {
  // Grouped as a database groups its commits: a flush costs the disk's time, a group of a
  // second's downloads costs one.
  constexpr std::size_t kMostDownloads = 256;
  constexpr uint64_t kMostBytes = uint64_t{256} << 20;
  constexpr auto kLongestWait = std::chrono::seconds(1);
  return !downloaded_.empty() &&
         (downloaded_.size() >= kMostDownloads || downloadedBytes_ >= kMostBytes ||
          std::chrono::steady_clock::now() - firstDownloaded_ >= kLongestWait);
}

int32_t CImageFolder::CommitDownloads() {
  if (downloaded_.empty()) return 0;
  std::vector<Downloaded> group;
  group.swap(downloaded_);
  downloadedBytes_ = 0;
  std::vector<std::wstring> works;
  for (const Downloaded& download : group) works.push_back(download.intent.work);
  // The bytes first, then the entries that name them, then the names: a power cut at any
  // moment leaves no name whose bytes are not on the disk, and none the journal does not
  // account for.
  bool ready = MayChange() && handle_.FlushFiles(works);
  for (const Downloaded& download : group) {
    if (!ready) break;
    JournalEntry entry(JournalKind::kStored, download.intent.url, download.intent.name);
    entry.size = download.size;
    entry.digest = download.digest;
    ready = AppendJournal(entry);
  }
  ready = ready && FlushJournal();
  int32_t stored = 0;
  for (const Downloaded& download : group) {
    const Intent& intent = download.intent;
    if (!ready) {
      handle_.Remove(intent.work, RemoveRule::kOwnFile);
      WriteLog(L"DownloadNext(), can't put %s on the disk, removed", InFolder(intent.work));
      continue;
    }
    // The name was free when the download began; whatever has taken it since is not
    // ours to replace.
    if (!handle_.MoveNoReplace(intent.work, intent.name)) {
      Journal({JournalKind::kGivenUp, intent.url, intent.name});
      handle_.Remove(intent.work, RemoveRule::kOwnFile);
      WriteLog(L"DownloadNext(), can't rename %s to %s", InFolder(intent.work),
               InFolder(intent.name));
      continue;
    }
    records_.Set(CFileData{intent.name, intent.url, {}, 1});
    ++stored;
  }
  return stored;
}

void CImageFolder::DropDownloads() {
  for (const Downloaded& download : downloaded_)
    handle_.Remove(download.intent.work, RemoveRule::kOwnFile);
  downloaded_.clear();
  downloadedBytes_ = 0;
  intents_.clear();
}

bool CImageFolder::FlushJournal() {
  if (journalFile_.IsOpen() && journalFile_.Flush()) return true;
  if (!journalFailed_) {
    WriteLog(L"DownloadNext(), can't flush journal %s to disk", InFolder(kJournalFileName));
  }
  journalFailed_ = true;
  return false;
}

bool CImageFolder::RemoveRecordedFile(const CFileData& record) {
  if (!MayChange()) return false;
  // Journaled first, or a crash could keep a record of a deleted file; a full disk that
  // refuses the entry must not keep the cleanup that frees it from running (a crash then
  // leaves a record whose file is gone, which counts as absent).
  AppendJournal({JournalKind::kRemoved, record.url, record.localName});
  // The companion first: a crash between the two leaves the file, and its record.
  handle_.Remove(CompanionName(record.localName), RemoveRule::kAnyFile);
  handle_.Remove(record.localName, RemoveRule::kAnyFile);
  return true;
}

bool CImageFolder::KeepIfPresent(const CFileData& record, int32_t& modified) {
  const EntryInfo present = handle_.Look(record.localName);
  const bool empty = present.IsEmptyFile();
  if (present.kind != EntryKind::kNone && !empty) return true;
  // Gone from the folder: a record kept would one day delete whatever else takes the
  // name, perhaps the user's own file. An empty file under a recorded name is a picture
  // that did not survive a power cut: it goes, and the item is fetched again.
  const std::wstring url = record.url;
  const std::wstring name = record.localName;
  Journal({JournalKind::kRemoved, url, name});
  if (empty && MayChange()) {
    WriteLog(L"DownloadNext(), empty recorded file taken as gone, fetched again: %s",
             InFolder(name));
    handle_.Remove(name, RemoveRule::kAnyFile);
  }
  records_.Remove(url);
  modified = 1;
  return false;
}

bool CImageFolder::ClearEmptyFile(std::wstring_view name) {
  const EntryInfo present = handle_.Look(name);
  if (!present.IsEmptyFile() || !present.ownedByUs || present.links != 1 || IsRecordedName(name) ||
      !MayChange()) {
    return false;
  }
  return handle_.Remove(name, RemoveRule::kOwnFile);
}

std::unordered_set<std::wstring> CImageFolder::RecordedNames() const {
  std::unordered_set<std::wstring> names;
  for (const CFileData& record : records_) names.insert(FoldedName(record.localName));
  return names;
}

}  // namespace orvella
