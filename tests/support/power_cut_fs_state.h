// The power-cut file system's state, shared by its calls (power_cut_fs_calls.cpp) and
// the class that mounts it (power_cut_fs.cpp). Not for tests: they use power_cut_fs.h.
#pragma once

#define FUSE_USE_VERSION 31
#include <dirent.h>
#include <fuse.h>
#include <sys/types.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/cached_disk.h"
#include "tests/support/power_cut_fs.h"

namespace orvella::test {

// What an open() or opendir() handed out: the backing folder's descriptor (or folder
// stream) and the node it opened, which stays the same through renames.
struct OpenFile {
  int fd = -1;
  DIR* dir = nullptr;
  CachedDisk::Node node = CachedDisk::kNoNode;
};

struct PowerCutFs::State {
  explicit State(const std::filesystem::path& folder) : backing(folder.string()), disk(folder) {}

  // The backing folder's path for a path in the mount ("/a" -> "BACKING/a").
  std::string In(const char* path) const { return backing + path; }

  // Each of these is called with `mutex` held.
  void Count(const char* kind, const std::string& path, std::string detail = "") {
    if (!counting || cut) return;
    operations.push_back({operations.size() + 1, kind, path, std::move(detail)});
    if (cutAfter && operations.size() >= *cutAfter) Cut();
  }
  void Cut() {
    cut = true;
    cutChanged.notify_all();
  }
  int Refuse(const char* kind, const std::string& path) {
    if (firstRefused.empty()) firstRefused = std::string(kind) + " " + path;
    return -EIO;
  }
  void Fail(const std::string& what) {
    if (fault.empty()) fault = what;
  }

  const std::string backing;
  mutable std::mutex mutex;
  std::condition_variable cutChanged;
  CachedDisk disk;
  bool counting = false;
  std::optional<std::size_t> cutAfter;
  bool cut = false;  // once off, the power stays off for this mount
  std::vector<FsOperation> operations;
  std::string firstRefused;
  std::string fault;
  std::set<OpenFile*> open;  // released by the kernel, or at the unmount
  fuse* session = nullptr;
  std::thread loop;
  std::string mountPoint;
  pid_t unmounter = -1;    // unmounts when unmounterPipe closes
  int unmounterPipe = -1;  // its write end
  bool mounted = false;
};

/// The file system's calls, for fuse_new. Each runs on the loop's thread and takes the
/// state's lock.
fuse_operations PowerCutCalls();

}  // namespace orvella::test
