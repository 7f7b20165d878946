// An image folder opened once. Every name is looked up, created, moved and removed in the
// folder as it was when it was opened, whatever happens to its path later (it is renamed,
// or swapped for a link to another folder), and nothing is ever read, written or removed
// through a link that stands at a name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "system/safe_files.h"

namespace orvella {

/// Which file a name stands for: its device (volume) and inode (file index).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

/// What stands at a name of the folder, links never followed.
struct EntryInfo {
  EntryKind kind = EntryKind::kNone;
  uint64_t size = 0;
  uint64_t links = 0;
  /// The file belongs to this process's user (always true where the system has no owner
  /// the plug-in could check).
  bool ownedByUs = false;
  /// Seconds since 1970 of the last change of the file's data.
  int64_t writtenAt = 0;

  /// True for an empty regular file.
  bool IsEmptyFile() const { return kind == EntryKind::kRegular && size == 0; }
  /// True when nothing stands there or only an empty regular file does.
  bool IsFreeOrEmpty() const { return kind == EntryKind::kNone || IsEmptyFile(); }
};

/// Which files a removal may take.
enum class RemoveRule {
  kAnyFile,  // anything but a folder (a link goes, never what it points to)
  kOwnFile,  // a plain file of ours: one link, this user's
};

class FolderHandle {
 public:
  FolderHandle() = default;
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  /// Opens the folder at `folder` (a link to a folder is followed, as the user's setting
  /// may be one). Returns false, with the system's reason in `reason`, when it is not a
  /// folder that can be opened. Any thread (one object per thread).
  bool Open(const std::filesystem::path& folder, std::wstring& reason);
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }
  /// True when `folder` still names the folder this handle holds.
  bool StillAt(const std::filesystem::path& folder) const;

  /// Returns what stands at `name` (kind kNone when nothing, or when it cannot be looked
  /// at).
  EntryInfo Look(std::wstring_view name) const;

  /// Creates a file at `name` only when nothing stands there, never through a link; the
  /// file is open for writing on kCreated. Returns kTaken when anything stands at the name,
  /// kFailed (reason set) when the folder refuses it.
  CreateOutcome CreateExclusive(std::wstring_view name, WorkFile& file, std::wstring* reason) const;

  /// Reads the plain file at `name`, never blocking on what stands there and never through
  /// a link; with `ownOnly` only a file of ours (one link, this user's). A file of more
  /// than `maxBytes` gives kTooLarge without being read.
  ReadOutcome Read(std::wstring_view name, std::string& bytes, std::size_t maxBytes,
                   bool ownOnly) const;

  /// Opens the journal-like file at `name` for appending: a plain file of ours already
  /// there, or a new one created exclusively. Returns false, with the reason, when
  /// something else stands there or the folder refuses it.
  bool OpenOwnForAppend(std::wstring_view name, AppendFile& file, std::wstring* reason) const;

  /// Removes what stands at `name` when `rule` allows it. Returns true when it removed
  /// something; false (nothing changed) otherwise.
  bool Remove(std::wstring_view name, RemoveRule rule) const;

  /// Moves `from` to `to` only when nothing stands at `to`. False when it did not move.
  bool MoveNoReplace(std::wstring_view from, std::wstring_view to) const;
  /// Moves the file `file` holds open, created at `from` by CreateExclusive, to `to` only
  /// when nothing stands there; it stays open for writing under its new name. False, with
  /// nothing moved, when `to` is taken or the system cannot move an open file.
  bool MoveOpenNoReplace(const WorkFile& file, std::wstring_view from, std::wstring_view to) const;
  /// Moves `from` over `to`, replacing a plain file there (never what a link points to).
  bool MoveReplacing(std::wstring_view from, std::wstring_view to) const;

  /// Puts the folder's entries (names created, moved, removed) on disk. False when the
  /// system reports an error.
  bool FlushEntries() const;
  /// Puts the data of the files at `names` on disk: with one flush of the whole file
  /// system where that reaches the disk, else file by file. False when any flush failed.
  bool FlushFiles(const std::vector<std::wstring>& names) const;

  /// The path text of `name` in the folder, for log lines.
  std::filesystem::path PathOf(std::wstring_view name) const;

 private:
  friend class FolderLock;
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // descriptor or handle of the folder
  FileIdentity identity_;
  std::filesystem::path path_;  // as it was opened
  // Windows: the folder's path as the system resolves it, and whether an open handle of a
  // name resolves to that name in it (a link, which Wine shows as a plain file, does not).
  std::wstring final_;
  bool IsInside(void* handle, std::wstring_view name) const;
};

}  // namespace orvella
