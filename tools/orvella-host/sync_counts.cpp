// The sync's summary counted from the folder's record before and after the pass.
#include "tools/orvella-host/sync_counts.h"

namespace orvella::host {

SyncCounts CountChanges(const FolderRecord& before, const FolderRecord& after, int failed) {
  SyncCounts counts;
  for (const auto& [url, name] : after.files) {
    (before.files.count(url) != 0 ? counts.present : counts.added) += 1;
  }
  for (const auto& [url, name] : before.files) counts.removed += after.files.count(url) == 0;
  counts.failed = failed;
  return counts;
}

}  // namespace orvella::host
