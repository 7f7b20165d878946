// The download queue: DownloadNext works one queued item per call; at the end of a
// batch RemoveUnusedFiles deletes what no feed offers any more.
//
// Every change to the folder is journaled before it is made (engine/image_folder.cpp),
// and only while this engine owns the folder.
#include <chrono>
#include <system_error>

#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"
#include "system/safe_files.h"

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

// Whole hours since the file was last written, truncated toward zero; false when the
// file's status cannot be read.
bool HoursSinceWritten(const std::wstring& path, int64_t& hours) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(FsPath(path), ec);
  if (ec) return false;
  const auto age = std::chrono::system_clock::now() - std::chrono::file_clock::to_sys(written);
  hours = std::chrono::duration_cast<std::chrono::seconds>(age).count() / 3600;
  return true;
}

}  // namespace

int32_t COrvellaEngine::DownloadNext(const std::atomic<int32_t>* stop) {
  const std::wstring folder = SnapshotSettings().imgFolder;
  if (!IsUsableImageFolder(folder)) {
    // Relative to the host's current folder, files would land wherever that happens to
    // be. The items come back with their feeds' next answers.
    WriteLog(L"DownloadNext(), no usable image folder (empty or not absolute): \"%s\"", folder);
    queue.clear();
    FinishBatch(folder);
    return 0;
  }
  if (queue.empty()) {
    FinishBatch(folder);
    return 0;
  }
  // Another worker's folder: the queue waits for the next pass.
  if (!EnterFolder(folder)) return 0;
  const COrvellaItem& item = queue.front();  // stays in place until it is taken off below
  downloading = 1;
  if (!item.url.empty()) {
    CFileData* present = files.Find(item.url);
    if (present != nullptr && StillPresent(folder, *present)) {
      present->inUse = 1;
    } else {
      FetchItem(folder, item.url, stop);
    }
  }
  // Taken off only now: an error that escapes above leaves the item to be taken again.
  queue.pop_front();
  return 1;
}

bool COrvellaEngine::StillPresent(const std::wstring& folder, const CFileData& record) {
  if (IsNameTaken(folder, record.localName)) return true;
  // Gone from the folder: a record kept would one day delete whatever else takes the
  // name, perhaps the user's own file.
  const std::wstring url = record.url;
  Journal(folder, JournalKind::kRemoved, url, record.localName);
  files.Remove(url);
  modified = 1;
  return false;
}

void COrvellaEngine::FetchItem(const std::wstring& folder, const std::wstring& url,
                               const std::atomic<int32_t>* stop) {
  // A line end or an overlong URL would come back from the list file as extra lines:
  // entries the service forged, naming files that are not ours.
  if (!IsRecordableUrl(url)) {
    WriteLog(L"DownloadNext(), URL can't be recorded (%d characters): %s", url.size(),
             PrintableText(url));
    return;
  }
  std::wstring path;
  std::wstring name;
  if (!FreeLocalName(folder, url, path, name)) return;
  const std::wstring work = WorkName(name);
  const std::wstring temp = JoinFolder(folder, work);
  if (KindOf(FsPath(temp)) != EntryKind::kNone && IsRecordedName(work)) {
    WriteLog(L"DownloadNext(), work file name is taken by a recorded file: %s", temp);
    return;
  }
  // From here on a crash leaves an entry that tells the next start what to clear away:
  // the work file, or the empty file of the test creation.
  if (!Journal(folder, JournalKind::kStarted, url, name)) return;
  if (!ProbeLocalName(path)) return;
  if (DownloadImage(url, temp, stop) != 0) return;
  if (!StoreDownload(folder, url, name, temp)) return;
  modified = 1;
  stored = 1;
  files.Set(CFileData{name, url, {}, 1});
}

bool COrvellaEngine::StoreDownload(const std::wstring& folder, const std::wstring& url,
                                   const std::wstring& name, const std::wstring& temp) {
  const std::wstring path = JoinFolder(folder, name);
  // Journaled before the file takes its name: after a crash the next start records it
  // if it is there. The name was free when the download began; whatever has taken it
  // since is not ours to replace.
  if (!Journal(folder, JournalKind::kStored, url, name)) {
    RemoveRegularFile(FsPath(temp));
    return false;
  }
  if (!MoveNoReplace(FsPath(temp), FsPath(path))) {
    Journal(folder, JournalKind::kGivenUp, url, name);
    RemoveRegularFile(FsPath(temp));
    WriteLog(L"DownloadNext(), can't rename %s to %s", temp, path);
    return false;
  }
  return true;
}

void COrvellaEngine::FinishBatch(const std::wstring& folder) {
  if (downloading != 0 && folderOwned_) {
    // A feed that has not answered yet has not said its files are gone: deleting them
    // now would only fetch them again once it answers. After a move to another folder
    // nothing of this batch was met there: nothing is deleted.
    if (folder == folder_ && AllEnabledFeedsQueried() && RemoveUnusedIn(folder) > 0) modified = 1;
    // A list that cannot be written stays marked: the next batch end or the worker's end
    // writes it, and the journal keeps its changes until then.
    if (modified != 0) {
      if (WriteListIn(folder_)) modified = 0;
    } else if (journalWritten_) {
      // Only downloads that failed were journaled: none of them left anything behind.
      RemoveJournal(folder_);
    }
  }
  CloseJournal();  // the next batch opens it again
  // The host hears of new files only when this batch stored one.
  if (stored != 0) owner.NotifyNewFiles();
  stored = 0;
  downloading = 0;
  WriteLog(L"Download complete");
}

int32_t COrvellaEngine::RemoveUnusedFiles() {
  const std::wstring folder = SnapshotSettings().imgFolder;
  if (!IsUsableImageFolder(folder)) return 0;
  return RemoveUnusedIn(folder);
}

int32_t COrvellaEngine::RemoveUnusedIn(const std::wstring& folder) {
  const WorkerSettings settings = SnapshotSettings();
  const int64_t minimumHours =
      static_cast<int64_t>(settings.minAgeDays) * 24 + settings.minAgeHours;
  const std::size_t removed = files.RemoveIf([&](const CFileData& record) {
    if (record.inUse != 0) return false;
    const std::wstring path = JoinFolder(folder, record.localName);
    int64_t hours = 0;
    if (settings.minAgeCheck != 0 && HoursSinceWritten(path, hours) && hours < minimumHours)
      return false;
    // Without the journal entry a crash could keep a record of a deleted file.
    if (!Journal(folder, JournalKind::kRemoved, record.url, record.localName)) return false;
    // The companion first: a crash between the two leaves the file, and its record.
    RemoveFile(CompanionPath(folder, record.localName));
    RemoveFile(path);
    return true;
  });
  return static_cast<int32_t>(removed);
}

}  // namespace orvella
