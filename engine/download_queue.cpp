// DownloadNext: one queued item per call; at the end of a batch the unused files go, the
// list file is written and the host hears of new files.
//
// Every change to the folder is journaled before it is made (engine/image_folder.cpp),
// and only while this engine owns the folder.
#include <unordered_set>

#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/download_image.h"
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
    FinishBatch(folder, stop);
    return 0;
  }
  if (queue.empty()) {
    FinishBatch(folder, stop);
    return 0;
  }
  // A folder this worker cannot lock: the queue waits for the next pass.
  if (!EnterFolder(folder)) return 0;
  const COrvellaItem& item = queue.front();  // stays in place until it is taken off below
  downloading = 1;
  if (!item.url.empty() && !imageFolder.IsDownloaded(item.url)) {
    CFileData* present = files.Find(item.url);
    if (present != nullptr && imageFolder.KeepIfPresent(*present, modified)) {
      present->inUse = 1;
    } else {
      FetchItem(folder, item.url, stop);
    }
  }
  // Taken off only now: an error that escapes above leaves the item to be taken again.
  queue.pop_front();
  if (imageFolder.CommitDue()) CommitDownloads();
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
  ParsedUrl parsed;  // parsed once, for the name and for the download
  if (!ParseUrl(url, parsed)) {
    WriteLog(L"BuildLocalName(): Url can't be parsed: %s", url);
    return;
  }
  // An empty file at the name, no record's and this user's, is a picture that did not
  // survive a power cut (or the test creation a crash left): it goes, and is fetched now.
  const std::wstring bare = BareNameOf(parsed);
  if (!bare.empty() && IsUsableLocalName(bare) && imageFolder.ClearEmptyFile(bare)) {
    WriteLog(L"DownloadNext(), empty file taken as one that did not survive, fetched again: %s",
             JoinFolder(folder, bare));
  }
  // The journal announces downloads, a group at a time, before their work files exist.
  if (imageFolder.IntentFor(url) == nullptr) PlanDownloads(folder);
  const CImageFolder::Intent* intent = imageFolder.IntentFor(url);
  std::wstring path;
  std::wstring name;
  if (imageFolder.IsNameInHand(bare)) {
    WriteLog(L"File already exits: %s", JoinFolder(folder, bare));
    return;
  }
  WorkFile probe;  // the file that proved the name, open: it becomes the work file
  if (!BuildLocalName(parsed, folder, path, name, &probe)) return;
  if (intent == nullptr) {
    imageFolder.DropProbe(probe, name);
    // Its usual work name held by anyone else's file, or no journal to announce it in.
    if (imageFolder.ChooseWorkName(name).empty()) {
      WriteLog(L"DownloadNext(), work file name is taken by a file that is not the plug-in's: %s",
               JoinFolder(folder, WorkName(name)));
    }
    return;
  }
  const std::wstring work = intent->work;
  // Where the test file cannot be moved (its work name taken since, a file system that
  // moves no open file), the work file is made on its own as the download starts.
  imageFolder.AdoptProbe(probe, name, work);
  ContentDigest digest;
  DownloadTarget target{JoinFolder(folder, work),
                        [this, &work, &probe](WorkFile& file) {
                          if (!probe.IsOpen()) return imageFolder.CreateWork(work, file);
                          file.Swap(probe);
                          return CreateOutcome::kCreated;
                        },
                        [this, &work] { imageFolder.DropWork(work); }, &digest};
  WorkFile file;
  const int32_t result = DownloadParsedImage(url, parsed, target, file, stop, imageSessions);
  if (probe.IsOpen()) {
    // The download ended before it took the work file over (a scheme it does not fetch).
    probe.Close();
    imageFolder.DropWork(work);
  }
  if (result != kDownloadOk) return;
  uint64_t size = 0;
  // Some file systems report a write that did not reach them only when the file closes.
  if (!file.Size(size) || !file.Close()) {
    WriteLog(L"DownloadImage(), can't write file %s", target.text);
    imageFolder.DropWork(work);
    return;
  }
  imageFolder.AddDownloaded(url, size, digest.Text());
  modified = 1;  // the records change when the group is committed
}

void COrvellaEngine::PlanDownloads(const std::wstring& folder) {
  // The items from the head of the queue on that may need a download: recordable URLs of
  // free, usable names, each name and work name once.
  constexpr std::size_t kPlanned = 256;
  std::vector<CImageFolder::Intent> intents;
  std::unordered_set<std::wstring> names;
  std::unordered_set<std::wstring> works;
  for (const COrvellaItem& item : queue) {
    if (intents.size() >= kPlanned) break;
    const std::wstring& url = item.url;
    if (url.empty() || !IsRecordableUrl(url) || imageFolder.IsDownloaded(url) ||
        imageFolder.IntentFor(url) != nullptr) {
      continue;
    }
    // A record whose file is gone, or empty, will be fetched again.
    if (const CFileData* record = files.Find(url); record != nullptr) {
      if (!imageFolder.Look(record->localName).IsFreeOrEmpty()) continue;
    }
    ParsedUrl parsed;
    if (!ParseUrl(url, parsed)) continue;
    const std::wstring name = BareNameOf(parsed);
    const bool free = imageFolder.Look(name).IsFreeOrEmpty();
    if (!IsUsableLocalName(name) || !free || !names.insert(FoldedName(name)).second ||
        imageFolder.IsNameInHand(name)) {
      continue;
    }
    const std::wstring work = imageFolder.ChooseWorkName(name, works);
    if (work.empty()) continue;
    works.insert(FoldedName(work));
    intents.push_back({url, name, work});
  }
  imageFolder.Intend(intents);
}

void COrvellaEngine::CommitDownloads() {
  if (imageFolder.CommitDownloads() == 0) return;
  stored = 1;
  modified = 1;
}

void COrvellaEngine::FinishBatch(const std::wstring& folder, const std::atomic<int32_t>* stop) {
  // The group in hand goes first: the unused files and the list see it stored.
  if (imageFolder.Owned()) CommitDownloads();
  if (downloading != 0 && imageFolder.Owned()) {
    // A feed that has not answered yet has not said its files are gone: deleting them
    // now would only fetch them again once it answers. After a move to another folder
    // nothing of this batch was met there: nothing is deleted.
    if (folder == imageFolder.Path() && AllEnabledFeedsQueried() && RemoveUnusedFiles(stop) > 0)
      modified = 1;
    // A list that cannot be written stays marked: the next batch end or the worker's end
    // writes it, and the journal keeps its changes until then.
    if (modified != 0) {
      if (imageFolder.WriteList(imageFolder.Path(), stop)) modified = 0;
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
