// RemoveUnusedFiles: the files of records that no queue met since the list file was
// loaded are deleted at a batch end.
#include <chrono>
#include <filesystem>
#include <system_error>

#include "base/path_text.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {
namespace {

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

int32_t COrvellaEngine::RemoveUnusedFiles() {
  // The records' own folder, and only while this worker owns it.
  const std::wstring& folder = imageFolder.Path();
  if (!imageFolder.Owned() || !IsUsableImageFolder(folder)) return 0;
  const PluginSettings settings = SnapshotSettings();
  const int64_t minimumHours =
      static_cast<int64_t>(settings.minAgeDays) * 24 + settings.minAgeHours;
  const std::size_t removed = files.RemoveIf([&](const CFileData& record) {
    if (record.inUse != 0) return false;
    int64_t hours = 0;
    if (settings.minAgeCheck != 0 &&
        HoursSinceWritten(JoinFolder(folder, record.localName), hours) && hours < minimumHours)
      return false;
    return imageFolder.RemoveRecordedFile(record);
  });
  return static_cast<int32_t>(removed);
}

}  // namespace orvella
