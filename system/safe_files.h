// File operations that never write through what someone else put at a name: exclusive
// creation without following links, reads that never block on a pipe, moves that never
// replace, and flushes to disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace orvella {

/// What stands at a name, links not followed.
enum class EntryKind {
  kNone,     // nothing (or the name cannot be looked at)
  kRegular,  // a plain file
  kOther,    // a link, a folder, a pipe, a device, a socket, a reparse point
};

/// Returns what stands at `path`; a link is kOther, whatever it points to. Any thread.
EntryKind KindOf(const std::filesystem::path& path);

/// Returns whether anything (a link included, dangling or not) stands at `name` in
/// `folder`. Any thread.
bool IsNameTaken(const std::wstring& folder, std::wstring_view name);

/// How an exclusive creation ended.
enum class CreateOutcome {
  kCreated,  // the file is new and open for writing
  kTaken,    // something stands at the name and was left as it is
  kFailed,   // the file cannot be created there (no folder, no right, a bad name)
};

/// A file this process created and writes, closed when the object goes away.
class WorkFile {
 public:
  WorkFile() = default;
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  /// Creates `path` only when nothing stands there, never through a link; the file is
  /// open for writing on kCreated. Any thread.
  CreateOutcome CreateNew(const std::filesystem::path& path);
  /// Writes all of `data`; false when any of it could not be written.
  bool Write(std::string_view data);
  /// Flushes what was written to the disk; false when the system reports an error.
  bool Flush();
  /// The file's size as the open file says; false when it cannot tell.
  bool Size(uint64_t& size) const;
  /// Closes the file; false when it was not open or closing reported an error.
  bool Close();
  bool IsOpen() const { return handle_ != kClosed; }
  /// Trades the open files of the two objects (either may be closed). Any thread.
  void Swap(WorkFile& other) noexcept { std::swap(handle_, other.handle_); }

 private:
  friend class FolderHandle;
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // descriptor or handle
};

/// Creates a work file (a download's temporary file, the list file's new copy): a
/// regular file already at `path` (left by a crash) is removed first; a link or anything
/// else there is left untouched and gives kTaken. Any thread.
CreateOutcome CreateWorkFile(WorkFile& file, const std::filesystem::path& path);

/// How a read of a whole file ended.
enum class ReadOutcome {
  kRead,        // `bytes` holds the file
  kMissing,     // nothing there, or it cannot be opened
  kNotRegular,  // a pipe, a device, a folder (a link too, unless links are followed)
  kTooLarge,    // more than the caller takes, by its size or by what was read; nothing kept
};

/// Reads the file at `path` into `bytes` without ever blocking on what stands there:
/// only a regular file is read. `followLinks` lets the last name be a link to a regular
/// file. A file of more than `maxBytes` bytes gives kTooLarge with `bytes` empty: one
/// whose size says so is not read at all (a sparse file can announce terabytes), one that
/// grows while it is read is given up after `maxBytes` and one more. Any thread.
ReadOutcome ReadRegularFile(const std::filesystem::path& path, bool followLinks, std::string& bytes,
                            std::size_t maxBytes = SIZE_MAX);

/// Bytes a read of a whole file of `size` bytes (within the read's limit) reserves up
/// front: the size, but no more than 1 GiB, as a file's size is only a hint (a sparse file
/// announces what it never holds). Any thread.
std::size_t ReadReserve(std::uint64_t size);

/// A file kept open for appending to it: the journal beside the list file, written at
/// every step of every download of a batch. Closed when the object goes away.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  /// Appends all of `bytes`. They reach the system (they survive the process), not
  /// necessarily the disk. Returns false when it is not open or anything failed; what a
  /// failed append wrote of them is cut off again where the system allows, and
  /// `leftPartial` tells whether part of them may still stand at the file's end.
  bool Append(std::string_view bytes, bool* leftPartial = nullptr);
  /// Puts what was appended on the disk; false when it is not open or the system reports
  /// an error.
  bool Flush();
  /// True while the open file still has its name: what is appended to a file deleted
  /// since it was opened would go with it.
  bool IsNamed() const;
  /// Closes the file (nothing when it is not open).
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }

 private:
  friend class FolderHandle;
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // descriptor or handle
};

/// Removes `path` when a regular file stands there; a link is never followed. Returns
/// true when it removed one. Any thread.
bool RemoveRegularFile(const std::filesystem::path& path);

}  // namespace orvella
