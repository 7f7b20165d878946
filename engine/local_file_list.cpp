// ReadLocalFileList and WriteLocalFileList: the engine's records loaded from and written to
// the image folder it works in, the folder entered for a batch, and let go at the
// worker's end.
#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {
namespace {

// The line for a folder this worker may not change, once per pass.
void LogFolderNotOurs(const std::wstring& folder, bool busy, const std::wstring& problem) {
  if (busy) {
    WriteLog(L"DownloadNext(), image folder in use by another worker, tried again later: %s",
             folder);
  } else {
    WriteLog(L"DownloadNext(), image folder can't be locked, nothing is changed in it: %s (%s)",
             folder, problem);
  }
}

}  // namespace

void COrvellaEngine::ReadLocalFileList(const std::atomic<int32_t>* stop) {
  const std::wstring folder = SnapshotSettings().ImgFolder;
  // The folder is let go before the flags are cleared: a journal that still holds
  // changes the list lacks stays for the next read of that folder.
  bool busy = false;
  std::wstring problem;
  if (!IsUsableImageFolder(folder)) {
    ReleaseFolder();
  } else if (!imageFolder.Holds(folder, true)) {
    imageFolder.TakeLock(folder, modified == 0, busy, problem);
  }
  modified = 0;
  downloading = 0;
  if (!IsUsableImageFolder(folder)) {
    // Never the host's current folder: no list is read from there or written to it.
    imageFolder.Forget();
    WriteLog(L"ReadLocalFileList: file list not found");
    return;
  }
  bool stopped = false;
  if (!imageFolder.Load(folder, stop, stopped) && !stopped) modified = 1;
}

bool COrvellaEngine::WriteLocalFileList(const std::atomic<int32_t>* stop) {
  const std::wstring& path = imageFolder.Path();
  return imageFolder.WriteList(path.empty() ? SnapshotSettings().ImgFolder : path, stop);
}

void COrvellaEngine::ReleaseFolder() {
  imageFolder.Release(modified == 0);
}

bool COrvellaEngine::EnterFolder(const std::wstring& folder) {
  // Within a batch the folder stays the one opened at its start, whatever its path names
  // meanwhile; a new batch looks again.
  const bool batchStart = downloading == 0;
  if (imageFolder.Holds(folder, batchStart)) return true;
  // The settings moved to another folder, or the path names another folder now: the
  // records belong to the one they came from.
  const bool sameFolder = imageFolder.OpenedAt(folder);
  if (imageFolder.Owned() && modified != 0) imageFolder.WriteList(imageFolder.Path());
  bool busy = false;
  std::wstring problem;
  if (!imageFolder.TakeLock(folder, modified == 0, busy, problem)) {
    LogFolderNotOurs(folder, busy, problem);
    return false;
  }
  // Another worker may have changed the folder while this one waited: its state is read
  // again, keeping the marks of what this worker's queues met.
  const std::vector<std::wstring> marks = sameFolder ? UrlsInUse() : std::vector<std::wstring>{};
  modified = 0;
  bool stopped = false;
  if (!imageFolder.Load(folder, nullptr, stopped)) modified = 1;
  RestoreUseMarks(marks);
  return true;
}

}  // namespace orvella
