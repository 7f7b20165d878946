// Work files from the platform's exclusive creation: what a crash left is cleared first.
#include "system/safe_files.h"

#include <algorithm>

#include "base/path_text.h"

namespace orvella {

std::size_t ReadReserve(std::uint64_t size) {
  return static_cast<std::size_t>(std::min(size, std::uint64_t{1} << 30));
}

bool IsNameTaken(const std::wstring& folder, std::wstring_view name) {
  return KindOf(FsPath(JoinFolder(folder, name))) != EntryKind::kNone;
}

CreateOutcome CreateWorkFile(WorkFile& file, const std::filesystem::path& path) {
  switch (KindOf(path)) {
    case EntryKind::kOther:
      return CreateOutcome::kTaken;
    case EntryKind::kRegular:
      // A leftover of an earlier run that ended before it could remove it.
      if (!RemoveRegularFile(path) && KindOf(path) != EntryKind::kNone)
        return CreateOutcome::kFailed;
      break;
    case EntryKind::kNone:
      break;
  }
  // Whatever appears at the name between the look and the creation is left alone.
  return file.CreateNew(path);
}

}  // namespace orvella
