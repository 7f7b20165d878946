// RemoveUnusedFiles: the files of records that no queue met since the list file was
// loaded are deleted at a batch end.
#include <chrono>
#include <unordered_set>

#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {
namespace {

// Records looked at between two looks at the stop flag.
constexpr std::size_t kStopCheckEvery = 4096;

// Whole hours since the file was last written, truncated toward zero; false when nothing
// stands at the name.
bool HoursSinceWritten(const EntryInfo& file, int64_t& hours) {
  if (file.kind == EntryKind::kNone) return false;
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  hours = (now - file.writtenAt) / 3600;
  return true;
}

// The names the records in use hold, as FoldedName gives them.
std::unordered_set<std::wstring> NamesInUse(const CFileMap& files) {
  std::unordered_set<std::wstring> names;
  for (const CFileData& record : files) {
    if (record.inUse != 0) names.insert(FoldedName(record.localName));
  }
  return names;
}

}  // namespace

int32_t COrvellaEngine::RemoveUnusedFiles(const std::atomic<int32_t>* stop) {
  // The records' own folder, and only while this worker owns it.
  const std::wstring& folder = imageFolder.Path();
  if (!imageFolder.Owned() || !IsUsableImageFolder(folder)) return 0;
  const PluginSettings settings = SnapshotSettings();
  const int64_t minimumHours =
      static_cast<int64_t>(settings.minAgeDays) * 24 + settings.minAgeHours;
  // Of two records for one name, the one in use holds it: an older record whose file was
  // gone when the other one stored its picture must not delete that picture now.
  const std::unordered_set<std::wstring> inUse = NamesInUse(files);
  std::size_t seen = 0;
  bool stopped = false;
  const std::size_t removed = files.RemoveIf([&](const CFileData& record) {
    if (stopped || (++seen % kStopCheckEvery == 0 && stop != nullptr && stop->load() != 0)) {
      stopped = true;  // the rest waits for the next batch end
      return false;
    }
    if (record.inUse != 0) return false;
    if (inUse.count(FoldedName(record.localName)) != 0) return true;  // forgotten, not deleted
    int64_t hours = 0;
    if (settings.minAgeCheck != 0 && HoursSinceWritten(imageFolder.Look(record.localName), hours) &&
        hours < minimumHours)
      return false;
    return imageFolder.RemoveRecordedFile(record);
  });
  return static_cast<int32_t>(removed);
}

}  // namespace orvella
