// What one sync pass changed in the image folder, for its summary line.
#pragma once

#include "tools/orvella-host/folder_record.h"

namespace orvella::host {

struct SyncCounts {
  int present = 0;  // recorded before and still there
  int added = 0;    // recorded now, not before
  int failed = 0;   // offered, tried and not in the folder now (each URL once)
  int removed = 0;  // recorded before, gone now
};

/// Counts the change from `before` to `after`, with `failed` the offered URLs that the
/// pass could not store. Any thread.
SyncCounts CountChanges(const FolderRecord& before, const FolderRecord& after, int failed);

}  // namespace orvella::host
