// The engine's construction, its settings snapshot and the use marks of its records.
#include "engine/orvella_engine.h"

#include "engine/download_image.h"

namespace orvella {

COrvellaEngine::COrvellaEngine(CEngineOwner& engineOwner)
    : owner(engineOwner),
      tickCount(&SystemTickCount),
      monitors(&ListMonitorRects),
      imageSessions(&OpenImageSession) {
  files.InitHashTable(17);
}

PluginSettings COrvellaEngine::SnapshotSettings() {
  std::lock_guard<std::mutex> guard(lock);
  return owner.WorkerSettingsLocked();
}

bool COrvellaEngine::AllEnabledFeedsQueried() {
  std::lock_guard<std::mutex> guard(lock);
  for (const COrvellaFeed& feed : feeds) {
    if ((feed.Flg & kFeedEnabled) != 0 && feed.lastTm == 0) return false;
  }
  return true;
}

std::vector<std::wstring> COrvellaEngine::UrlsInUse() const {
  std::vector<std::wstring> urls;
  for (const CFileData& record : files) {
    if (record.inUse != 0) urls.push_back(record.url);
  }
  return urls;
}

void COrvellaEngine::RestoreUseMarks(const std::vector<std::wstring>& urls) {
  for (const std::wstring& url : urls) {
    CFileData* record = files.Find(url);
    if (record != nullptr) record->inUse = 1;
  }
}

int32_t COrvellaEngine::DownloadImage(const std::wstring& url, const std::wstring& target,
                                      const std::atomic<int32_t>* stop) {
  return orvella::DownloadImage(url, target, stop, imageSessions);
}

}  // namespace orvella
