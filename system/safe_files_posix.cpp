// Safe file operations on POSIX: O_EXCL | O_NOFOLLOW creation, O_NONBLOCK opens checked
// with fstat, renameat2 without replacing, fsync of files and folders.
#include "system/safe_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/descriptor_io_posix.h"

namespace orvella {
namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file

int Descriptor(intptr_t handle) {
  return static_cast<int>(handle);
}

// Opens a name that must hold a regular file. O_NONBLOCK: opening a pipe without a
// writer would otherwise wait for one for ever; it does nothing to a regular file.
// `size` receives the file's size.
int OpenRegular(const std::filesystem::path& path, int flags, bool& notRegular,
                off_t* size = nullptr) {
  notRegular = false;
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, kNewFileMode);
  if (fd < 0) {
    notRegular = errno == ELOOP || errno == EISDIR || errno == ENXIO;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    notRegular = true;
    return -1;
  }
  if (size != nullptr) *size = info.st_size;
  return fd;
}

}  // namespace

EntryKind KindOf(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return EntryKind::kNone;
  return S_ISREG(info.st_mode) ? EntryKind::kRegular : EntryKind::kOther;
}

WorkFile::~WorkFile() {
  Close();
}

CreateOutcome WorkFile::CreateNew(const std::filesystem::path& path) {
  Close();
  // O_EXCL fails on any existing name, a link included, whether or not its target exists.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return errno == EEXIST ? CreateOutcome::kTaken : CreateOutcome::kFailed;
  handle_ = fd;
  return CreateOutcome::kCreated;
}

bool WorkFile::Write(std::string_view data) {
  return IsOpen() && WriteAllTo(Descriptor(handle_), data);
}

bool WorkFile::Flush() {
  return IsOpen() && ::fsync(Descriptor(handle_)) == 0;
}

bool WorkFile::Size(uint64_t& size) const {
  struct stat info {};
  if (!IsOpen() || ::fstat(Descriptor(handle_), &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool WorkFile::Close() {
  if (!IsOpen()) return false;
  const int fd = Descriptor(handle_);
  handle_ = kClosed;
  return ::close(fd) == 0;
}

ReadOutcome ReadRegularFile(const std::filesystem::path& path, bool followLinks, std::string& bytes,
                            std::size_t maxBytes) {
  bytes.clear();
  bool notRegular = false;
  off_t size = 0;
  const int fd = OpenRegular(path, O_RDONLY | (followLinks ? 0 : O_NOFOLLOW), notRegular, &size);
  if (fd < 0) return notRegular ? ReadOutcome::kNotRegular : ReadOutcome::kMissing;
  const ReadOutcome read = ReadAllFrom(fd, size, bytes, maxBytes);
  ::close(fd);
  return read;
}

AppendFile::~AppendFile() {
  Close();
}

bool AppendFile::Append(std::string_view bytes, bool* leftPartial) {
  if (leftPartial != nullptr) *leftPartial = false;
  if (!IsOpen()) return false;
  const int fd = Descriptor(handle_);
  const off_t before = ::lseek(fd, 0, SEEK_END);
  if (WriteAllTo(fd, bytes)) return true;
  // A full disk can take part of an entry: cut back to where it began, so that the next
  // entry does not continue the piece.
  const bool cut = before >= 0 && ::ftruncate(fd, before) == 0;
  if (leftPartial != nullptr) *leftPartial = !cut;
  return false;
}

bool AppendFile::Flush() {
  return IsOpen() && ::fsync(Descriptor(handle_)) == 0;
}

bool AppendFile::IsNamed() const {
  struct stat info {};
  return IsOpen() && ::fstat(Descriptor(handle_), &info) == 0 && info.st_nlink > 0;
}

void AppendFile::Close() {
  if (!IsOpen()) return;
  ::close(Descriptor(handle_));
  handle_ = kClosed;
}

bool RemoveRegularFile(const std::filesystem::path& path) {
  if (KindOf(path) != EntryKind::kRegular) return false;
  return ::unlink(path.c_str()) == 0;  // unlink never follows a link
}

}  // namespace orvella
