// A FUSE file system (libfuse 3) for power-cut tests: mounted over an empty folder, it
// passes every operation through to a backing folder, and tells a CachedDisk (see
// cached_disk.h for what reaches the disk and when) each change it made. On demand it
// cuts the power: from that instant every further operation is refused with EIO and
// changes nothing, so what the disk holds is exactly what was flushed before it. The test
// then kills the program it watched, unmounts, and writes the disk's content into a
// folder of its own, where the next run finds it as it would after the power came back
// (once with only the flushed names, once with every name: see cached_disk.h).
//
// The cut can wait for the k-th change counted from StartCounting() (creations, writes,
// truncations, renames, links, removals, new folders, flushes: every call that changes
// what is or could be on the disk), so a reference run's count lets a test place cuts
// anywhere in the same work.
//
// It runs in a thread of the test, not as a program of its own: the count, the cut and the
// operations' record are then plain calls under one lock, and a test that places a cut
// needs no protocol to ask where it fell. A small process of its own unmounts it when
// the test process ends, however it ends, so a test that dies leaves no mount behind.
//
// Why refused rather than frozen: a program killed while its calls are held still closes
// its files on the way out, and the kernel waits, unkillably, for those FLUSH requests;
// a frozen file system would hang the kill. Refusing is as good: nothing a refused call
// asked for reaches the disk, which is all a cut must guarantee.
//
// syncfs(2) (sync -f) is never forwarded by the kernel to a FUSE file system (only to
// virtiofs): a program under test runs with the shim of power_cut_syncfs.h preloaded,
// which turns each of its syncfs() calls into a request this file system sees, and then
// flushes every file and folder, as syncfs does. Not seen at all: sync(2) and
// sync_file_range(2) (which promises nothing). Symbolic links and special files are
// refused (EPERM).
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/cached_disk.h"

namespace orvella::test {

/// One counted change: its number (1 for the first after StartCounting), its kind
/// ("create", "write", "truncate", "rename", "link", "unlink", "mkdir", "rmdir",
/// "fsync", "fdatasync", "fsyncdir", "syncfs"), the path in the mount ("/a.jpg";
/// "(removed)" for a file that has no name any more) and what else it concerns (a
/// rename's target, a write's range).
struct FsOperation {
  std::size_t number = 0;
  std::string kind;
  std::string path;
  std::string detail;

  /// "12 rename /a.__t -> /a.jpg"
  std::string Text() const;
};

/// This process's environment for a program under test, with `library` (the syncfs shim)
/// preloaded: `NAME=value` texts for posix_spawn's envp. Sanitized programs are told to
/// accept a library loaded before their runtime. Any thread.
std::vector<std::string> PreloadedEnvironment(const std::string& library);

class PowerCutFs {
 public:
  /// Why no FUSE file system can be mounted on this machine ("" when one can): /dev/fuse
  /// or fusermount3 missing. Any thread.
  static std::string Unavailable();

  /// Mounts at `mountPoint` (an empty folder) a view of `backing`, whose content counts
  /// as on the disk already. Throws std::runtime_error when it cannot. Test thread.
  PowerCutFs(const std::filesystem::path& backing, const std::filesystem::path& mountPoint);
  /// Unmounts when that was not done yet.
  ~PowerCutFs();
  PowerCutFs(const PowerCutFs&) = delete;
  PowerCutFs& operator=(const PowerCutFs&) = delete;

  /// Starts counting changes afresh. With `cutAfter`, the power fails as soon as that
  /// many changes were made (at once for 0). Any thread.
  void StartCounting(std::optional<std::size_t> cutAfter);
  /// Cuts the power now (nothing when it is off already). Any thread.
  void CutNow();
  /// Waits up to `timeout` for the power to fail; returns whether it is off. Any thread.
  bool WaitForCut(std::chrono::milliseconds timeout);

  /// The changes counted since StartCounting, all of them made before the cut. Any
  /// thread.
  std::vector<FsOperation> Operations() const;
  /// The first call refused after the cut ("" when none was), as "kind path".
  std::string FirstRefused() const;
  /// What went wrong inside the file system ("" when nothing did): a change the backing
  /// folder made that the model could not follow, an unmount that failed. A test that
  /// trusts the disk's content checks it is empty. Any thread.
  std::string Fault() const;

  /// Unmounts and ends the file system's thread. Every file in the mount must be closed
  /// (its users ended). Test thread.
  void Unmount();
  /// After Unmount: empties `folder` and writes into it what the disk holds, its names
  /// read as `names` says. The backing folder keeps what the system saw. Throws
  /// std::runtime_error when it cannot. Test thread.
  void WriteDisk(const std::filesystem::path& folder, CachedDisk::Names names) const;

  struct State;  // the file system's own, shared with its callbacks

 private:
  std::unique_ptr<State> state_;
};

}  // namespace orvella::test
