// Blocking the file store: a file in the folder's place, or a folder made immutable.
#include "tests/support/store_block.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

// Sets or clears the immutable flag of `folder`. Returns false when the file system or
// the caller's rights do not allow it.
bool SetImmutable(const fs::path& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

// True when a new file can still be made in `folder`.
bool TakesNewFiles(const fs::path& folder) {
  const fs::path probe = folder / "probe";
  const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

fs::path AccountFolder(const fs::path& home) {
  return home / "Halvenworks" / "OrvellaPlugin";
}

}  // namespace

ScopedStoreBlock::ScopedStoreBlock(const ScopedConfigHome& home, StoreBlock how)
    : home_(home.path()), how_(how) {
  std::error_code ec;
  if (how == StoreBlock::kFileAtFolder) {
    fs::rename(home_ / "Halvenworks", home_ / "Halvenworks.aside", ec);  // what was stored
    std::ofstream(home_ / "Halvenworks") << "not a folder";
    active_ = fs::is_regular_file(home_ / "Halvenworks");
    error_ = ENOTDIR;
    return;
  }
  const fs::path folder = AccountFolder(home_);
  fs::create_directories(folder, ec);
  error_ = EPERM;
  if (!SetImmutable(folder, true)) {
    ::chmod(folder.c_str(), 0500);
    error_ = EACCES;
  }
  active_ = true;
  if (TakesNewFiles(folder)) Lift();  // root on a file system without the flag
}

void ScopedStoreBlock::Lift() {
  if (!active_) return;
  active_ = false;
  std::error_code ec;
  if (how_ == StoreBlock::kFileAtFolder) {
    fs::remove(home_ / "Halvenworks", ec);
    fs::rename(home_ / "Halvenworks.aside", home_ / "Halvenworks", ec);
    return;
  }
  const fs::path folder = AccountFolder(home_);
  SetImmutable(folder, false);
  ::chmod(folder.c_str(), 0700);
}

}  // namespace orvella::test
