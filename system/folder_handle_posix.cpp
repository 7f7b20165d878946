// The folder handle on POSIX: a descriptor of the folder and the *at calls, with
// O_NOFOLLOW and AT_SYMLINK_NOFOLLOW on every name.
#include "system/folder_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/error_text.h"
#include "base/path_text.h"
#include "base/text_utf8.h"
#include "system/descriptor_io_posix.h"

namespace orvella {
namespace {

// FUSE file servers are not told of a whole file system's flush (the kernel passes syncfs
// on only to virtiofs): their files' data is flushed file by file.
constexpr long kFuseMagic = 0x65735546;

int Descriptor(intptr_t handle) {
  return static_cast<int>(handle);
}

std::string NameBytes(std::wstring_view name) {
  return WideToUtf8(name);
}

FileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// A plain file of ours: one link (a hard link is someone else's file too) and this user's.
bool IsOwnFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_nlink == 1 && info.st_uid == ::geteuid();
}

std::wstring OwnFileProblem(const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return L"not a regular file";
  if (info.st_nlink != 1) return L"a file with more than one link";
  return L"a file of another user";
}

}  // namespace

FolderHandle::~FolderHandle() {
  Close();
}

bool FolderHandle::Open(const std::filesystem::path& folder, std::wstring& reason) {
  Close();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    reason = SystemErrorText(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  handle_ = fd;
  identity_ = IdentityOf(info);
  path_ = folder;
  return true;
}

void FolderHandle::Close() {
  if (!IsOpen()) return;
  ::close(Descriptor(handle_));
  handle_ = kClosed;
  identity_ = {};
}

bool FolderHandle::StillAt(const std::filesystem::path& folder) const {
  struct stat info {};
  return IsOpen() && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         IdentityOf(info) == identity_;
}

EntryInfo FolderHandle::Look(std::wstring_view name) const {
  EntryInfo entry;
  struct stat info {};
  if (!IsOpen() ||
      ::fstatat(Descriptor(handle_), NameBytes(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return entry;
  }
  entry.kind = S_ISREG(info.st_mode) ? EntryKind::kRegular : EntryKind::kOther;
  entry.size = static_cast<uint64_t>(info.st_size);
  entry.links = static_cast<uint64_t>(info.st_nlink);
  entry.ownedByUs = info.st_uid == ::geteuid();
  entry.writtenAt = static_cast<int64_t>(info.st_mtime);
  return entry;
}

CreateOutcome FolderHandle::CreateExclusive(std::wstring_view name, WorkFile& file,
                                            std::wstring* reason) const {
  file.Close();
  // O_EXCL fails on any name that is taken, a link included, whether or not it points
  // anywhere.
  const int fd = ::openat(Descriptor(handle_), NameBytes(name).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return CreateOutcome::kTaken;
    if (reason != nullptr) *reason = SystemErrorText(errno);
    return CreateOutcome::kFailed;
  }
  file.handle_ = fd;
  return CreateOutcome::kCreated;
}

ReadOutcome FolderHandle::Read(std::wstring_view name, std::string& bytes, std::size_t maxBytes,
                               bool ownOnly) const {
  bytes.clear();
  // O_NONBLOCK: a pipe without a writer would otherwise hold the open for ever.
  const int fd = ::openat(Descriptor(handle_), NameBytes(name).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == ELOOP || errno == EISDIR || errno == ENXIO ? ReadOutcome::kNotRegular
                                                               : ReadOutcome::kMissing;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || (ownOnly && !IsOwnFile(info))) {
    ::close(fd);
    return ReadOutcome::kNotRegular;
  }
  const ReadOutcome read = ReadAllFrom(fd, info.st_size, bytes, maxBytes);
  ::close(fd);
  return read;
}

bool FolderHandle::OpenOwnForAppend(std::wstring_view name, AppendFile& file,
                                    std::wstring* reason) const {
  file.Close();
  const std::string bytes = NameBytes(name);
  const int dir = Descriptor(handle_);
  int fd = ::openat(dir, bytes.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = ::openat(dir, bytes.c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  }
  if (fd < 0) {
    if (reason != nullptr) *reason = errno == ELOOP ? L"a link" : SystemErrorText(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !IsOwnFile(info)) {
    if (reason != nullptr) *reason = OwnFileProblem(info);
    ::close(fd);
    return false;
  }
  file.handle_ = fd;
  return true;
}

bool FolderHandle::Remove(std::wstring_view name, RemoveRule rule) const {
  const std::string bytes = NameBytes(name);
  struct stat info {};
  const int dir = Descriptor(handle_);
  if (!IsOpen() || ::fstatat(dir, bytes.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      S_ISDIR(info.st_mode)) {
    return false;
  }
  switch (rule) {
    case RemoveRule::kAnyFile:
      break;
    case RemoveRule::kOwnFile:
      if (!IsOwnFile(info)) return false;
      break;
  }
  // unlinkat removes the name itself: a link goes, never what it points to.
  return ::unlinkat(dir, bytes.c_str(), 0) == 0;
}

bool FolderHandle::MoveOpenNoReplace(const WorkFile&, std::wstring_view from,
                                     std::wstring_view to) const {
  // The descriptor follows the file to its new name.
  return MoveNoReplace(from, to);
}

bool FolderHandle::MoveNoReplace(std::wstring_view from, std::wstring_view to) const {
  const std::string source = NameBytes(from);
  const std::string target = NameBytes(to);
  const int dir = Descriptor(handle_);
  if (::renameat2(dir, source.c_str(), dir, target.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a second name, made only when the target is free,
  // then the first one dropped.
  if (::linkat(dir, source.c_str(), dir, target.c_str(), 0) == 0) {
    ::unlinkat(dir, source.c_str(), 0);
    return true;
  }
  if (errno == EEXIST) return false;
  // No hard links either (FAT, some network shares): look, then move.
  struct stat info {};
  if (::fstatat(dir, target.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
    return false;
  return ::renameat(dir, source.c_str(), dir, target.c_str()) == 0;
}

bool FolderHandle::MoveReplacing(std::wstring_view from, std::wstring_view to) const {
  const int dir = Descriptor(handle_);
  return ::renameat(dir, NameBytes(from).c_str(), dir, NameBytes(to).c_str()) == 0;
}

bool FolderHandle::FlushEntries() const {
  return IsOpen() && ::fsync(Descriptor(handle_)) == 0;
}

bool FolderHandle::FlushFiles(const std::vector<std::wstring>& names) const {
  if (names.empty()) return true;
  if (!IsOpen()) return false;
  const int dir = Descriptor(handle_);
  struct statfs system {};
  if (::fstatfs(dir, &system) == 0 && system.f_type != kFuseMagic) {
    // One flush of the file system writes all the files' data at once: a flush per file
    // would wait for the disk once per file.
    return ::syncfs(dir) == 0;
  }
  bool flushed = true;
  for (const std::wstring& name : names) {
    const int fd =
        ::openat(dir, NameBytes(name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // gone since: nothing of it to keep
    flushed = ::fsync(fd) == 0 && flushed;
    ::close(fd);
  }
  return flushed;
}

std::filesystem::path FolderHandle::PathOf(std::wstring_view name) const {
  return path_ / FsPath(name);
}

}  // namespace orvella
