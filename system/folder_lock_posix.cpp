// The folder lock on POSIX: flock on a lock file in the folder, opened through the folder's
// descriptor. The file is removed on release; a holder checks after locking that the name
// still means the file it locked, so one that locked a file just removed by the previous
// holder tries again.
#include "system/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/error_text.h"
#include "base/text_utf8.h"
#include "system/descriptor_io_posix.h"

namespace orvella {
namespace {

constexpr int kAttempts = 3;

bool SameFile(int fd, int dir, const std::string& name) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && held.st_nlink > 0 &&
         ::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Opens the lock file: the plug-in's own plain file already there, or a new one made
// exclusively. -1 with `reason` set when something else stands there; -2 when a new file
// raced in (try again).
int OpenLockFile(int dir, const std::string& name, std::wstring& reason) {
  int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = ::openat(dir, name.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) return -2;
  }
  if (fd < 0) {
    reason = errno == ELOOP ? L"a link stands at its name" : SystemErrorText(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
      info.st_uid != ::geteuid()) {
    reason = !S_ISREG(info.st_mode) ? L"not a regular file"
             : info.st_nlink != 1   ? L"a file with more than one link"
                                    : L"a file of another user";
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

FolderLock::~FolderLock() {
  Release();
}

FolderLock::Outcome FolderLock::TryAcquire(const FolderHandle& folder, std::wstring_view name,
                                           std::wstring& reason) {
  Release();
  const int dir = static_cast<int>(folder.handle_);
  const std::string bytes = WideToUtf8(name);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = OpenLockFile(dir, bytes, reason);
    if (fd == -2) continue;
    if (fd < 0) return Outcome::kFailed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool busy = errno == EWOULDBLOCK;
      if (!busy) reason = SystemErrorText(errno);
      ::close(fd);
      return busy ? Outcome::kBusy : Outcome::kFailed;
    }
    if (SameFile(fd, dir, bytes)) {
      handle_ = fd;
      folder_ = &folder;
      name_ = std::wstring(name);
      return Outcome::kLocked;
    }
    ::close(fd);  // removed or replaced while we locked it
  }
  return Outcome::kBusy;
}

bool FolderLock::StillHeld() const {
  return Held() && folder_->IsOpen() &&
         SameFile(static_cast<int>(handle_), static_cast<int>(folder_->handle_), WideToUtf8(name_));
}

void FolderLock::Release() {
  if (!Held()) return;
  const int fd = static_cast<int>(handle_);
  handle_ = kNone;
  // Removed while still locked: whoever opens the name next makes a new file.
  const int dir = static_cast<int>(folder_->handle_);
  const std::string bytes = WideToUtf8(name_);
  if (folder_->IsOpen() && SameFile(fd, dir, bytes)) ::unlinkat(dir, bytes.c_str(), 0);
  ::close(fd);
  folder_ = nullptr;
  name_.clear();
}

}  // namespace orvella
