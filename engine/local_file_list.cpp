// ReadLocalFileList and WriteLocalFileList: the engine's records loaded from and written to
// the image folder it works in, and the folder let go at the worker's end.
#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {

void COrvellaEngine::ReadLocalFileList() {
  const std::wstring folder = SnapshotSettings().ImgFolder;
  // The folder is let go before the flags are cleared: a journal that still holds
  // changes the list lacks stays for the next read of that folder.
  if (!IsUsableImageFolder(folder)) {
    ReleaseFolder();
  } else if (!imageFolder.Holds(folder)) {
    imageFolder.TakeLock(folder, modified == 0);
  }
  modified = 0;
  downloading = 0;
  if (!IsUsableImageFolder(folder)) {
    // Never the host's current folder: no list is read from there or written to it.
    imageFolder.Forget();
    WriteLog(L"ReadLocalFileList: file list not found");
    return;
  }
  if (!imageFolder.Load(folder)) modified = 1;
}

bool COrvellaEngine::WriteLocalFileList() {
  const std::wstring& path = imageFolder.Path();
  return imageFolder.WriteList(path.empty() ? SnapshotSettings().ImgFolder : path);
}

void COrvellaEngine::ReleaseFolder() {
  imageFolder.Release(modified == 0);
}

bool COrvellaEngine::EnterFolder(const std::wstring& folder) {
  if (imageFolder.Holds(folder)) return true;
  // The settings moved to another folder: the records belong to the one they came from.
  const bool sameFolder = folder == imageFolder.Path();
  if (!sameFolder && imageFolder.Owned() && modified != 0)
    imageFolder.WriteList(imageFolder.Path());
  if (!imageFolder.TakeLock(folder, modified == 0)) {
    WriteLog(L"DownloadNext(), image folder in use by another worker, tried again later: %s",
             folder);
    return false;
  }
  // Another worker may have changed the folder while this one waited: its state is read
  // again, keeping the marks of what this worker's queues met.
  const std::vector<std::wstring> marks = sameFolder ? UrlsInUse() : std::vector<std::wstring>{};
  modified = 0;
  if (!imageFolder.Load(folder)) modified = 1;
  RestoreUseMarks(marks);
  return true;
}

}  // namespace orvella
