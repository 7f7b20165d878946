// What the image folder holds by the plug-in's own record: its list file, checked
// against the files that are really there.
#pragma once

#include <map>
#include <string>

namespace orvella::host {

/// The plug-in's files in one image folder.
struct FolderRecord {
  /// URL to file name, for every entry of the list file whose file exists.
  std::map<std::wstring, std::wstring> files;
  /// False when the folder holds a list file that could not be read or has a wrong header.
  bool listReadable = true;
};

/// Reads the list file of `folder` as the plug-in reads it (entries with names it may
/// use) and keeps the entries whose files exist. A folder without a list file gives an
/// empty record. Any thread.
FolderRecord ReadFolderRecord(const std::wstring& folder);

/// What one sync pass changed, counted from the records before and after it and from
/// the number of items the feeds offered.
struct SyncCounts {
  int present = 0;  // recorded before and still there
  int added = 0;    // recorded now, not before
  int failed = 0;   // offered, but not in the folder now
  int removed = 0;  // recorded before, gone now
};

/// Counts the change from `before` to `after` when the feeds offered `offered` items.
/// Every offered item ends recorded or failed, so `failed` is what the offer leaves
/// over the files now recorded (never below 0). Any thread.
SyncCounts CountChanges(const FolderRecord& before, const FolderRecord& after, int offered);

/// Returns "" when a file can be created in `folder`, else why not (the folder is
/// missing, not a folder, or refuses writes). Leaves nothing behind. Any thread.
std::string FolderWriteProblem(const std::wstring& folder);

}  // namespace orvella::host
