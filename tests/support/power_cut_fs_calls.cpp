// The power-cut file system's calls, over libfuse 3's path-based interface: each makes
// its change in the backing folder, then tells the disk model and counts it, all under
// the state's one lock, so a cut falls between two whole changes. They run on the loop's
// thread.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/power_cut_fs_state.h"
#include "tests/support/power_cut_syncfs.h"

namespace orvella::test {
namespace {

OpenFile& Opened(const fuse_file_info* fi) {
  return *reinterpret_cast<OpenFile*>(static_cast<uintptr_t>(fi->fh));
}

// The path a callback got, or what stands for a file that no longer has a name.
std::string Named(const char* path) {
  return path != nullptr ? path : "(removed)";
}

// Reads the whole file behind `fd`, whatever its open mode (a download's file is opened
// for writing only): through /proc, which reaches it even after its last name went.
bool ReadWhole(int fd, std::string& bytes) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const int in = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  bytes.clear();
  char block[64 * 1024];
  ssize_t n = 0;
  while ((n = ::read(in, block, sizeof block)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    bytes.append(block, static_cast<size_t>(n));
  }
  ::close(in);
  return n == 0;
}

// Reads the whole regular file at `path` (never through a link).
bool ReadPath(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool read = ReadWhole(fd, bytes);
  ::close(fd);
  return read;
}

using State = PowerCutFs::State;

State& Self() {
  return *static_cast<State*>(fuse_get_context()->private_data);
}

// ---- callbacks: each returns 0 (or a count) on success, -errno on failure ----

void* OnInit(fuse_conn_info*, fuse_config* config) {
  // Every look-up and attribute comes from here, never from the kernel's caches, and a
  // file removed while open is really removed (not hidden under another name).
  config->entry_timeout = 0;
  config->negative_timeout = 0;
  config->attr_timeout = 0;
  config->use_ino = 1;
  config->hard_remove = 1;
  config->kernel_cache = 0;
  return fuse_get_context()->private_data;
}

int OnGetattr(const char* path, struct stat* info, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("getattr", Named(path));
  int done = 0;
  if (fi != nullptr) {
    const OpenFile& file = Opened(fi);
    done = ::fstat(file.dir != nullptr ? ::dirfd(file.dir) : file.fd, info);
  } else {
    done = ::lstat(s.In(path).c_str(), info);
  }
  return done == 0 ? 0 : -errno;
}

int OnAccess(const char* path, int mask) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("access", path);
  return ::access(s.In(path).c_str(), mask) == 0 ? 0 : -errno;
}

int OnStatfs(const char* path, struct statvfs* info) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("statfs", path);
  return ::statvfs(s.backing.c_str(), info) == 0 ? 0 : -errno;
}

int OnMkdir(const char* path, mode_t mode) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("mkdir", path);
  if (::mkdir(s.In(path).c_str(), mode) != 0) return -errno;
  if (!s.disk.Add(path, true)) s.Fail(std::string("mkdir: the model has no room for ") + path);
  s.Count("mkdir", path);
  return 0;
}

// unlink and rmdir: `remove` takes the name from the backing folder, then from the
// folder as the system sees it.
int RemoveName(const char* kind, const char* path, int (*remove)(const char*)) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse(kind, path);
  if (remove(s.In(path).c_str()) != 0) return -errno;
  if (!s.disk.Remove(path)) s.Fail(std::string(kind) + ": the model has no " + path);
  s.Count(kind, path);
  return 0;
}

int OnUnlink(const char* path) {
  return RemoveName("unlink", path, ::unlink);
}

int OnRmdir(const char* path) {
  return RemoveName("rmdir", path, ::rmdir);
}

int OnRename(const char* from, const char* to, unsigned int flags) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("rename", from);
  if ((flags & ~(RENAME_NOREPLACE | RENAME_EXCHANGE)) != 0) return -EINVAL;
  if (::renameat2(AT_FDCWD, s.In(from).c_str(), AT_FDCWD, s.In(to).c_str(), flags) != 0)
    return -errno;
  if (!s.disk.Rename(from, to, (flags & RENAME_EXCHANGE) != 0))
    s.Fail(std::string("rename: the model cannot move ") + from + " to " + to);
  s.Count("rename", from, std::string("-> ") + to);
  return 0;
}

int OnLink(const char* from, const char* to) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("link", from);
  if (::link(s.In(from).c_str(), s.In(to).c_str()) != 0) return -errno;
  if (!s.disk.Link(from, to)) s.Fail(std::string("link: the model cannot link ") + from);
  s.Count("link", from, std::string("-> ") + to);
  return 0;
}

// Symbolic links and special files are not part of the model.
int OnSymlink(const char*, const char* path) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.cut ? s.Refuse("symlink", path) : -EPERM;
}

int OnMknod(const char* path, mode_t, dev_t) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.cut ? s.Refuse("mknod", path) : -EPERM;
}

// chmod, chown, utimens: `byFd` on the open file, else `byName` on the backing path.
// Modes, owners and times pass through; the disk does not keep them.
template <typename ByFd, typename ByName>
int PassAttribute(const char* kind, const char* path, fuse_file_info* fi, ByFd byFd,
                  ByName byName) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse(kind, Named(path));
  const int done = fi != nullptr ? byFd(Opened(fi).fd) : byName(s.In(path).c_str());
  return done == 0 ? 0 : -errno;
}

int OnChmod(const char* path, mode_t mode, fuse_file_info* fi) {
  return PassAttribute(
      "chmod", path, fi, [mode](int fd) { return ::fchmod(fd, mode); },
      [mode](const char* name) { return ::chmod(name, mode); });
}

int OnChown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi) {
  return PassAttribute(
      "chown", path, fi, [uid, gid](int fd) { return ::fchown(fd, uid, gid); },
      [uid, gid](const char* name) { return ::lchown(name, uid, gid); });
}

int OnUtimens(const char* path, const struct timespec times[2], fuse_file_info* fi) {
  return PassAttribute(
      "utimens", path, fi, [times](int fd) { return ::futimens(fd, times); },
      [times](const char* name) {
        return ::utimensat(AT_FDCWD, name, times, AT_SYMLINK_NOFOLLOW);
      });
}

int OnTruncate(const char* path, off_t size, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("truncate", Named(path));
  const int done =
      fi != nullptr ? ::ftruncate(Opened(fi).fd, size) : ::truncate(s.In(path).c_str(), size);
  if (done != 0) return -errno;
  s.Count("truncate", Named(path), "to " + std::to_string(size));
  return 0;
}

// Hands out `fd` for the node at `path`; opening an existing file with O_TRUNC counts as
// its truncation.
int HandOut(State& s, const char* path, int fd, bool existed, fuse_file_info* fi) {
  const CachedDisk::Node node = s.disk.Find(path);
  if (node == CachedDisk::kNoNode) s.Fail(std::string("open: the model has no ") + path);
  if (existed && (fi->flags & O_TRUNC) != 0 && (fi->flags & O_ACCMODE) != O_RDONLY)
    s.Count("truncate", path, "to 0");
  auto* file = new OpenFile{fd, nullptr, node};
  s.open.insert(file);
  fi->fh = reinterpret_cast<uintptr_t>(file);
  return 0;
}

int OnOpen(const char* path, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("open", path);
  const int fd = ::open(s.In(path).c_str(), fi->flags | O_CLOEXEC);
  if (fd < 0) return -errno;
  return HandOut(s, path, fd, true, fi);
}

int OnCreate(const char* path, mode_t mode, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("create", path);
  const bool existed = s.disk.Find(path) != CachedDisk::kNoNode;
  const int fd = ::open(s.In(path).c_str(), fi->flags | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) return -errno;
  if (!existed) {
    if (!s.disk.Add(path, false)) s.Fail(std::string("create: the model has no room for ") + path);
    s.Count("create", path);
  }
  return HandOut(s, path, fd, existed, fi);
}

int OnRead(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("read", Named(path));
  const ssize_t n = ::pread(Opened(fi).fd, buffer, size, offset);
  return n >= 0 ? static_cast<int>(n) : -errno;
}

int OnWrite(const char* path, const char* bytes, size_t size, off_t offset, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("write", Named(path));
  const ssize_t n = ::pwrite(Opened(fi).fd, bytes, size, offset);
  if (n < 0) return -errno;
  if (n > 0) {
    s.Count("write", Named(path),
            "bytes " + std::to_string(offset) + "-" + std::to_string(offset + n));
  }
  return static_cast<int>(n);
}

// close(): nothing reaches the disk.
int OnFlush(const char* path, fuse_file_info*) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.cut ? s.Refuse("flush", Named(path)) : 0;
}

// The last close: always done, after a cut too, so the backing folder's files close.
int OnRelease(const char*, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  OpenFile* file = &Opened(fi);
  if (file->dir != nullptr) ::closedir(file->dir);
  if (file->fd >= 0) ::close(file->fd);
  s.open.erase(file);
  delete file;
  return 0;
}

int OnFsync(const char* path, int dataOnly, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse(dataOnly != 0 ? "fdatasync" : "fsync", Named(path));
  std::string bytes;
  const OpenFile& file = Opened(fi);
  if (!ReadWhole(file.fd, bytes)) {
    s.Fail("fsync: cannot read back " + Named(path));
    return -EIO;
  }
  // fdatasync may leave times unwritten, never the size or the bytes: the same here.
  s.disk.FlushFile(file.node, std::move(bytes));
  s.Count(dataOnly != 0 ? "fdatasync" : "fsync", Named(path));
  return 0;
}

int OnOpendir(const char* path, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("opendir", path);
  DIR* dir = ::opendir(s.In(path).c_str());
  if (dir == nullptr) return -errno;
  const CachedDisk::Node node = s.disk.Find(path);
  if (!s.disk.IsFolder(node)) s.Fail(std::string("opendir: the model has no folder ") + path);
  auto* file = new OpenFile{-1, dir, node};
  s.open.insert(file);
  fi->fh = reinterpret_cast<uintptr_t>(file);
  return 0;
}

int OnReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* fi,
              fuse_readdir_flags) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("readdir", Named(path));
  // The whole folder in one go (offset 0 throughout): libfuse keeps it for the reader.
  DIR* dir = Opened(fi).dir;
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    info.st_ino = entry->d_ino;
    info.st_mode = DTTOIF(entry->d_type);
    if (fill(buffer, entry->d_name, &info, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
  }
  return 0;
}

int OnFsyncdir(const char* path, int dataOnly, fuse_file_info* fi) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("fsyncdir", Named(path));
  s.disk.FlushFolder(Opened(fi).node);
  s.Count("fsyncdir", Named(path));
  return 0;
}

// syncfs (through the request the preloaded shim sends): the bytes of every named file
// and the names of every folder reach the disk.
int OnIoctl(const char* path, int command, void*, fuse_file_info*, unsigned int, void*) {
  State& s = Self();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cut) return s.Refuse("ioctl", Named(path));
  if (command != static_cast<int>(kPowerCutSyncFs)) return -ENOTTY;
  for (const auto& [file, node] : s.disk.Files()) {
    std::string bytes;
    if (!ReadPath(s.backing + "/" + file, bytes)) {
      s.Fail("syncfs: cannot read back " + file);
      return -EIO;
    }
    s.disk.FlushFile(node, std::move(bytes));
  }
  s.disk.FlushFolders();
  s.Count("syncfs", Named(path));
  return 0;
}

}  // namespace

fuse_operations PowerCutCalls() {
  fuse_operations ops{};
  ops.init = OnInit;
  ops.getattr = OnGetattr;
  ops.access = OnAccess;
  ops.statfs = OnStatfs;
  ops.mkdir = OnMkdir;
  ops.unlink = OnUnlink;
  ops.rmdir = OnRmdir;
  ops.rename = OnRename;
  ops.link = OnLink;
  ops.symlink = OnSymlink;
  ops.mknod = OnMknod;
  ops.chmod = OnChmod;
  ops.chown = OnChown;
  ops.utimens = OnUtimens;
  ops.truncate = OnTruncate;
  ops.open = OnOpen;
  ops.create = OnCreate;
  ops.read = OnRead;
  ops.write = OnWrite;
  ops.flush = OnFlush;
  ops.release = OnRelease;
  ops.fsync = OnFsync;
  ops.opendir = OnOpendir;
  ops.readdir = OnReaddir;
  ops.releasedir = OnRelease;
  ops.fsyncdir = OnFsyncdir;
  ops.ioctl = OnIoctl;
  // No lock or flock callback: the kernel then keeps advisory locks itself, as for a local
  // file system.
  return ops;
}

}  // namespace orvella::test
