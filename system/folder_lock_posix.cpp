// The folder lock on POSIX: flock on a lock file in the folder. The file is removed on
// release; a holder checks after locking that the name still means the file it locked,
// so one that locked a file just removed by the previous holder tries again.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/folder_lock.h"

namespace orvella {
namespace {

constexpr int kAttempts = 3;

bool SameFile(int fd, const std::filesystem::path& path) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

FolderLock::~FolderLock() {
  Release();
}

FolderLock::Outcome FolderLock::TryAcquire(const std::filesystem::path& lockFile) {
  Release();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd =
        ::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return Outcome::kFailed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd);
      return Outcome::kFailed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(fd);
      return busy ? Outcome::kBusy : Outcome::kFailed;
    }
    if (SameFile(fd, lockFile)) {
      handle_ = fd;
      file_ = lockFile;
      return Outcome::kLocked;
    }
    ::close(fd);  // removed or replaced while we locked it
  }
  return Outcome::kBusy;
}

void FolderLock::Release() {
  if (!Held()) return;
  const int fd = static_cast<int>(handle_);
  handle_ = kNone;
  // Removed while still locked: whoever opens the name next makes a new file.
  if (SameFile(fd, file_)) ::unlink(file_.c_str());
  ::close(fd);
}

}  // namespace orvella
