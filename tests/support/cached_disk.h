// A disk behind a volatile write cache, as a power cut leaves it. The power-cut file
// system (power_cut_fs.h) tells it every change it makes to its folder; what the disk
// holds is only what was flushed:
//
// - a file's bytes (and its size) reach the disk when that file is flushed (fsync,
//   fdatasync, or syncfs of the whole file system), all of them as they stand then; until then the
//   disk holds what the last flush gave it, and a file never flushed is empty there;
// - the names a folder holds (created, moved, linked, removed) reach the disk when that
//   folder is flushed (fsync of the folder, or syncfs), all of them as they stand then; until then
//   the disk keeps the names of the last flush, each naming the file it named then.
//
// Names are the one thing a file system may also put on the disk unasked: ext4
// (data=ordered) commits its journal of names every few seconds and at every fsync,
// while the bytes of new files wait for their delayed allocation. So the disk is read
// in two ways, the two ends of what a cut can leave:
// - Names::kAsFlushed: the strict reading of POSIX: every name not flushed is lost;
// - Names::kAsTheyStand: the journal was committed just before the cut: every name as
//   the system saw it, each file's bytes still only as flushed (a new file empty: the
//   zero-length files ext4 is known for).
// A program that writes safely survives both (the states between, names committed at
// some earlier moment, are not tried). What ext4 adds on top is not given here, and a
// program must not count on it: auto_da_alloc (a file renamed over an existing one, or truncated
// and written again, gets its bytes written before the commit that holds the rename) and background
// writeback (bytes reach the disk unasked after about 30 seconds). Not modelled: modes, owners and
// times (the disk gets 0644 files and 0755 folders), links other than hard links, and a flush cut
// half-way (each flush here is whole, as a journal makes it; cuts fall between two calls).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvella::test {

class CachedDisk {
 public:
  /// Which names the disk holds after a cut (see above).
  enum class Names { kAsFlushed, kAsTheyStand };

  /// A file or folder, the same through all of its names (an inode).
  using Node = std::size_t;
  static constexpr Node kNoNode = SIZE_MAX;

  /// Takes what `folder` holds now (files and folders) as being on the disk already.
  /// Throws std::runtime_error on anything else there, or when it cannot be read.
  explicit CachedDisk(const std::filesystem::path& folder);

  /// The node that `path` names as the system sees it now (with or without the cache):
  /// "a/b" relative to the root, "" the root itself; kNoNode when nothing is there.
  Node Find(std::string_view path) const;
  bool IsFolder(Node node) const;

  // The changes, as the file system made them. Each returns false, changing nothing,
  // when the model does not match the request (the file system then reports a fault).

  /// A new empty file or folder at `path`, whose folder exists and which does not.
  bool Add(std::string_view path, bool folder);
  /// `to` (which does not exist) becomes a second name of the file at `from`.
  bool Link(std::string_view from, std::string_view to);
  /// The name `path` goes; its node stays wherever else it is named.
  bool Remove(std::string_view path);
  /// Moves the name `from` to `to`, replacing what `to` named; `exchange` swaps them.
  bool Rename(std::string_view from, std::string_view to, bool exchange);

  /// The file's bytes are now on the disk.
  void FlushFile(Node file, std::string bytes);
  /// The folder's names are now on the disk.
  void FlushFolder(Node folder);
  /// Every file that has a name, each once, with one of its paths ("a/b").
  std::vector<std::pair<std::string, Node>> Files() const;
  /// The names of every folder are now on the disk (with the bytes of every file, what
  /// syncfs does).
  void FlushFolders();

  /// Empties `folder` and writes into it what the disk holds, its names read as `names`
  /// says. Throws std::runtime_error when it cannot.
  void WriteDisk(const std::filesystem::path& folder, Names names) const;

 private:
  using Entries = std::map<std::string, Node, std::less<>>;
  struct Entry {
    bool folder = false;
    std::string bytes;  // a file's bytes on the disk
    Entries names;      // a folder's names as the system sees them
    Entries disk;       // ... and as the disk holds them
  };

  Node Read(const std::filesystem::path& path,
            std::map<std::pair<std::uintmax_t, std::uintmax_t>, Node>& seen);
  Node NewNode(bool folder);
  // The folder that holds `path` and the last name of it; kNoNode when that folder is
  // missing or `path` is the root.
  Node ParentOf(std::string_view path, std::string& leaf) const;
  void CollectFiles(Node folder, const std::string& at,
                    std::vector<std::pair<std::string, Node>>& files,
                    std::vector<bool>& seen) const;
  // Writes the names `folder` holds in the reading `names` into `at`, and below.
  void Write(const Entry& folder, const std::filesystem::path& at, Names names,
             std::map<Node, std::filesystem::path>& written, std::vector<Node>& ancestors) const;

  std::vector<Entry> nodes_;  // indexed by Node; nodes are never dropped while mounted
};

}  // namespace orvella::test
