// The download queue: DownloadNext works one queued item per call; at the end of a
// batch RemoveUnusedFiles deletes what no feed offers any more.
#include <chrono>
#include <system_error>

#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/orvella_engine.h"

namespace orvella {
namespace {

constexpr wchar_t kTempExtension[] = L"__t";
constexpr wchar_t kCompanionExtension[] = L"rprop";

// The extension is changed on the bare name, then joined to the folder: a dot in the
// folder's own name can never move the file out of it.
std::wstring SiblingPath(const std::wstring& folder, std::wstring name, const wchar_t* extension) {
  ChangeExtension(name, extension);
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

// Puts a downloaded temporary file in its place. The final name was free when the
// download began; if a file has appeared there since, it is not ours to replace.
bool MoveIntoPlace(const std::wstring& temp, const std::wstring& path) {
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(FsPath(path), ec))) return false;
  std::filesystem::rename(FsPath(temp), FsPath(path), ec);
  return !ec;
}

}  // namespace

int32_t COrvellaEngine::DownloadNext(const std::atomic<int32_t>* stop) {
  if (queue.empty()) {
    FinishBatch();
    return 0;
  }
  const COrvellaItem& item = queue.front();  // stays in place until it is taken off below
  downloading = 1;
  if (!item.url.empty()) {
    const auto present = files.find(item.url);
    if (present != files.end()) {
      present->second.inUse = 1;
    } else {
      FetchItem(SnapshotSettings().imgFolder, item.url, stop);
    }
  }
  // Taken off only now: an error that escapes above leaves the item to be taken again.
  queue.pop_front();
  return 1;
}

void COrvellaEngine::FetchItem(const std::wstring& folder, const std::wstring& url,
                               const std::atomic<int32_t>* stop) {
  std::wstring path;
  std::wstring name;
  if (!BuildLocalNameIn(folder, url, path, name)) return;
  const std::wstring temp = SiblingPath(folder, name, kTempExtension);
  if (DownloadImage(url, temp, stop) != 0) return;
  if (!MoveIntoPlace(temp, path)) {
    RemoveFile(temp);
    WriteLog(L"DownloadNext(), can't rename %s to %s", temp, path);
    return;
  }
  modified = 1;
  files[url] = CFileData{name, url, {}, 1};
}

void COrvellaEngine::FinishBatch() {
  // A feed that has not answered yet has not said its files are gone: deleting them now
  // would only fetch them again once it answers.
  if (downloading != 0 && AllEnabledFeedsQueried()) RemoveUnusedFiles();
  if (modified != 0) {
    // A list that could not be written stays marked, so the next batch or the worker's
    // end writes it; the files are in the folder either way, so the host is told.
    if (WriteLocalFileList()) modified = 0;
    owner.NotifyNewFiles();
  }
  downloading = 0;
  WriteLog(L"Download complete");
}

void COrvellaEngine::RemoveUnusedFiles() {
  const WorkerSettings settings = SnapshotSettings();
  const int64_t minimumHours =
      static_cast<int64_t>(settings.minAgeDays) * 24 + settings.minAgeHours;
  for (auto it = files.begin(); it != files.end();) {
    const CFileData& record = it->second;
    if (record.inUse != 0) {
      ++it;
      continue;
    }
    const std::wstring path = JoinFolder(settings.imgFolder, record.localName);
    int64_t hours = 0;
    if (settings.minAgeCheck != 0 && HoursSinceWritten(path, hours) && hours < minimumHours) {
      ++it;
      continue;
    }
    RemoveFile(path);
    RemoveFile(SiblingPath(settings.imgFolder, record.localName, kCompanionExtension));
    it = files.erase(it);
  }
}

}  // namespace orvella
