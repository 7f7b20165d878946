// What the image folder holds by the plug-in's own record: its list file and the journal
// beside it, checked against the files that are really there.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace orvella::host {

/// The plug-in's files in one image folder.
struct FolderRecord {
  /// URL to file name, for every entry the plug-in would load whose name is taken.
  std::map<std::wstring, std::wstring> files;
  /// Why the list file was not read, "" when it was or when there is none: not a regular
  /// file (the plug-in then starts without a list), unreadable, too large, or with a
  /// wrong header.
  std::string listProblem;
  /// Entries of a journal that a crashed run left and that were applied to the list.
  std::size_t journalEntries = 0;
};

/// Reads the folder's record as the plug-in loads it when its worker starts: the list
/// file, read only when it is a regular file (never a link, a pipe or a device, which
/// could block the read), then the journal a crash left replayed onto it. Keeps the
/// entries whose names are taken in the folder. A folder without a list file gives an
/// empty record. Any thread.
FolderRecord ReadFolderRecord(const std::wstring& folder);

/// Returns "" when a file can be written in `folder`, else why not (the folder is
/// missing, not a folder, or refuses writes). Leaves nothing behind, even when the
/// process is killed meanwhile. Any thread.
std::string FolderWriteProblem(const std::wstring& folder);

}  // namespace orvella::host
