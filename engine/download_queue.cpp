// DownloadNext: one queued item per call; at the end of a batch the unused files go, the
// list file is written and the host hears of new files.
//
// Every change to the folder is journaled before it is made (engine/image_folder.cpp),
// and only while this engine owns the folder.
#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {

int32_t COrvellaEngine::DownloadNext(const std::atomic<int32_t>* stop) {
  const std::wstring folder = SnapshotSettings().ImgFolder;
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
    if (present != nullptr && imageFolder.KeepIfPresent(*present, modified)) {
      present->inUse = 1;
    } else {
      FetchItem(folder, item.url, stop);
    }
  }
  // Taken off only now: an error that escapes above leaves the item to be taken again.
  queue.pop_front();
  return 1;
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
  if (imageFolder.IsTaken(work) && imageFolder.IsRecordedName(work)) {
    WriteLog(L"DownloadNext(), work file name is taken by a recorded file: %s", temp);
    return;
  }
  // From here on a crash leaves an entry that tells the next start what to clear away:
  // the work file, or the empty file of the test creation.
  if (!imageFolder.BeginDownload(url, name)) return;
  if (!ProbeLocalName(path)) return;
  if (DownloadImage(url, temp, stop) != 0) return;
  if (!imageFolder.StoreDownload(url, name, work)) return;
  modified = 1;
  stored = 1;
  files.Set(CFileData{name, url, {}, 1});
}

void COrvellaEngine::FinishBatch(const std::wstring& folder) {
  if (downloading != 0 && imageFolder.Owned()) {
    // A feed that has not answered yet has not said its files are gone: deleting them
    // now would only fetch them again once it answers. After a move to another folder
    // nothing of this batch was met there: nothing is deleted.
    if (folder == imageFolder.Path() && AllEnabledFeedsQueried() && RemoveUnusedFiles() > 0)
      modified = 1;
    // A list that cannot be written stays marked: the next batch end or the worker's end
    // writes it, and the journal keeps its changes until then.
    if (modified != 0) {
      if (imageFolder.WriteList(imageFolder.Path())) modified = 0;
    } else {
      // Only downloads that failed were journaled: none of them left anything behind.
      imageFolder.DropFailedJournal();
    }
  }
  imageFolder.EndBatch();  // the next batch opens the journal again
  // The host hears of new files only when this batch stored one.
  if (stored != 0) owner.NotifyNewFiles();
  stored = 0;
  downloading = 0;
  WriteLog(L"Download complete");
}

}  // namespace orvella
