// The power-cut file system's mount, its loop's thread, the count and the cut.
#include "tests/support/power_cut_fs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tests/support/power_cut_fs_state.h"

extern char** environ;

namespace orvella::test {

namespace fs = std::filesystem;

std::string FsOperation::Text() const {
  std::string text = std::to_string(number) + " " + kind + " " + path;
  if (!detail.empty()) text += " " + detail;
  return text;
}

namespace {

// Starts the process that unmounts `mountPoint` (lazily) as soon as the write end of its
// pipe closes: Unmount() closes it, and so does the end of this process, however it ends,
// so a test that dies leaves no mount behind. Only this process holds the write end
// (close-on-exec: the programs under test never get it). Returns the process's id and
// sets `writeEnd`; -1 when it could not start.
pid_t StartUnmounter(const std::string& mountPoint, int& writeEnd) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
  std::vector<std::string> args = {"sh", "-c", "read -r line; exec fusermount3 -u -z -q -- \"$1\"",
                                   "sh", mountPoint};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, "sh", &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[0]);
  if (pid < 0) {
    ::close(ends[1]);
    return -1;
  }
  writeEnd = ends[1];
  return pid;
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= dirs.size();) {
    const std::size_t colon = std::min(dirs.find(':', at), dirs.size());
    const std::string candidate = dirs.substr(at, colon - at) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    at = colon + 1;
  }
  return false;
}

}  // namespace

std::vector<std::string> PreloadedEnvironment(const std::string& library) {
  std::vector<std::string> env;
  std::string preload = library;
  std::string asan = "verify_asan_link_order=0";
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    if (text.rfind("LD_PRELOAD=", 0) == 0) {
      preload += ":" + text.substr(11);
    } else if (text.rfind("ASAN_OPTIONS=", 0) == 0) {
      asan = text.substr(13) + ":" + asan;
    } else {
      env.push_back(text);
    }
  }
  env.push_back("LD_PRELOAD=" + preload);
  env.push_back("ASAN_OPTIONS=" + asan);
  return env;
}

std::string PowerCutFs::Unavailable() {
  if (::access("/dev/fuse", R_OK | W_OK) != 0)
    return std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
  if (!OnPath("fusermount3")) return "fusermount3 is not on PATH (apt-get install fuse3)";
  return "";
}

PowerCutFs::PowerCutFs(const fs::path& backing, const fs::path& mountPoint)
    : state_(std::make_unique<State>(backing)) {
  static const fuse_operations ops = PowerCutCalls();
  // Not libfuse's auto_unmount: its fusermount3 would stay for the process's whole life,
  // one per mount, beside a socket every program started here inherits.
  std::vector<std::string> words = {"power_cut_fs", "-o", "fsname=powercut,subtype=powercut"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
  state_->session = fuse_new(&args, &ops, sizeof ops, state_.get());
  fuse_opt_free_args(&args);
  if (state_->session == nullptr) throw std::runtime_error("power_cut_fs: fuse_new failed");
  if (fuse_mount(state_->session, mountPoint.c_str()) != 0) {
    fuse_destroy(state_->session);
    throw std::runtime_error("power_cut_fs: cannot mount at " + mountPoint.string());
  }
  state_->mountPoint = mountPoint.string();
  state_->unmounter = StartUnmounter(state_->mountPoint, state_->unmounterPipe);
  if (state_->unmounter < 0) {
    fuse_unmount(state_->session);
    fuse_destroy(state_->session);
    throw std::runtime_error("power_cut_fs: cannot start the unmounter of " + mountPoint.string());
  }
  state_->mounted = true;
  fuse* session = state_->session;
  state_->loop = std::thread([session] { fuse_loop(session); });
}

PowerCutFs::~PowerCutFs() {
  Unmount();
}

void PowerCutFs::StartCounting(std::optional<std::size_t> cutAfter) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->operations.clear();
  state_->firstRefused.clear();
  state_->counting = true;
  state_->cutAfter = cutAfter;
  if (cutAfter == 0u) state_->Cut();
}

void PowerCutFs::CutNow() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->Cut();
}

bool PowerCutFs::WaitForCut(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->cutChanged.wait_for(lock, timeout, [this] { return state_->cut; });
}

std::vector<FsOperation> PowerCutFs::Operations() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->operations;
}

std::string PowerCutFs::FirstRefused() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->firstRefused;
}

std::string PowerCutFs::Fault() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->fault;
}

void PowerCutFs::Unmount() {
  if (!state_->mounted) return;
  state_->mounted = false;
  // The unmounter's lazy unmount ends the kernel's connection as soon as nothing in the
  // mount is in use; the loop then reads ENODEV and returns. (Closing the channel first,
  // as fuse_unmount does, would leave the loop reading a descriptor that may be reused.)
  ::close(state_->unmounterPipe);
  int status = 0;
  while (::waitpid(state_->unmounter, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->Fail("fusermount3 -u could not unmount " + state_->mountPoint);
    state_->loop.detach();  // still serving: the session is left to the process's end
    return;
  }
  state_->loop.join();
  fuse_unmount(state_->session);
  fuse_destroy(state_->session);
  state_->session = nullptr;
  // Files the kernel had no time to release before the connection ended.
  for (OpenFile* file : state_->open) {
    if (file->dir != nullptr) ::closedir(file->dir);
    if (file->fd >= 0) ::close(file->fd);
    delete file;
  }
  state_->open.clear();
}

void PowerCutFs::WriteDisk(const fs::path& folder, CachedDisk::Names names) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->mounted) throw std::logic_error("power_cut_fs: still mounted");
  state_->disk.WriteDisk(folder, names);
}

}  // namespace orvella::test
