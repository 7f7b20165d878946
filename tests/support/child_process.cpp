// Child processes with their output collected by two reader threads.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace orvella::test {
namespace {

// Opens a pseudo-terminal; returns its master side and sets `slave` to the other's name.
int OpenPseudoTerminal(std::string& slave) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  slave = ::ptsname(master);
  return master;
}

// In the child: a session of its own, with `slave` as its terminal when it is named.
// Returns false when that failed.
bool TakeTerminal(const char* slave) {
  if (::setsid() < 0) return false;
  if (slave == nullptr) return true;
  const int fd = ::open(slave, O_RDWR);
  return fd >= 0 && ::ioctl(fd, TIOCSCTTY, 0) == 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, std::vector<std::string> args,
                           Options options) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // The environment is made here: between fork and exec only plain system calls are safe.
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (options.env.count(text.substr(0, text.find('='))) == 0) env.push_back(text);
  }
  for (const auto& [name, value] : options.env) {
    if (!value.empty()) env.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  int out[2];
  int err[2];
  int in[2] = {-1, -1};
  if (::pipe(out) != 0) throw std::runtime_error("pipe");
  if (::pipe(err) != 0) throw std::runtime_error("pipe");
  if (options.input && ::pipe(in) != 0) throw std::runtime_error("pipe");
  std::string slave;
  if (options.terminal == Options::Terminal::kPseudo) terminalFd_ = OpenPseudoTerminal(slave);
  const char* slaveName = slave.empty() ? nullptr : slave.c_str();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    if (in[0] >= 0) ::dup2(in[0], STDIN_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) {
      if (fd >= 0) ::close(fd);
    }
    if (options.terminal != Options::Terminal::kInherit && !TakeTerminal(slaveName)) _exit(126);
    if (options.runAsUser >= 0 && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(options.runAsUser) != 0 ||
         ::setuid(options.runAsUser) != 0)) {
      _exit(126);
    }
    if (options.maxFileBytes >= 0) {
      const rlimit limit{static_cast<rlim_t>(options.maxFileBytes),
                         static_cast<rlim_t>(options.maxFileBytes)};
      // Writes beyond fail with EFBIG instead, unless the test wants the kill.
      ::signal(SIGXFSZ, options.killAtMaxFileBytes ? SIG_DFL : SIG_IGN);
      const rlimit noCore{0, 0};  // that kill leaves no core file behind
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::setrlimit(RLIMIT_CORE, &noCore) != 0)
        _exit(126);
    }
    // The test runner may hold the stop signals back or ignore them; the child starts clean.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  if (in[0] >= 0) {
    ::close(in[0]);
    // Small inputs fit the pipe; the child may end before it reads them all.
    ::signal(SIGPIPE, SIG_IGN);
    for (std::size_t done = 0; done < options.input->size();) {
      const ssize_t n = ::write(in[1], options.input->data() + done, options.input->size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(in[1]);
  }
  outReader_ = std::thread([this, fd = out[0]] { Read(fd, out_); });
  errReader_ = std::thread([this, fd = err[0]] { Read(fd, err_); });
  if (terminalFd_ >= 0) {
    terminalReader_ = std::thread([this, fd = ::dup(terminalFd_)] { Read(fd, terminal_); });
  }
}

void ChildProcess::TypeOnTerminal(const std::string& text) {
  for (std::size_t done = 0; terminalFd_ >= 0 && done < text.size();) {
    const ssize_t n = ::write(terminalFd_, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

std::string ChildProcess::terminal() {
  std::lock_guard<std::mutex> guard(mutex_);
  return terminal_.text;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
}

void ChildProcess::Read(int fd, Stream& stream) {
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EIO) break;  // a terminal whose last user is gone
    if (n < 0) continue;               // EINTR
    std::lock_guard<std::mutex> guard(mutex_);
    stream.text.append(buffer, static_cast<std::size_t>(n));
    changed_.notify_all();
  }
  ::close(fd);
  std::lock_guard<std::mutex> guard(mutex_);
  stream.ended = true;
  changed_.notify_all();
}

bool ChildProcess::WaitFor(Stream& stream, const std::string& text) {
  std::unique_lock<std::mutex> guard(mutex_);
  changed_.wait(guard, [&] { return stream.ended || stream.text.find(text) != std::string::npos; });
  return stream.text.find(text) != std::string::npos;
}

std::string ChildProcess::FirstLine() {
  std::unique_lock<std::mutex> guard(mutex_);
  changed_.wait(guard, [&] { return out_.ended || out_.text.find('\n') != std::string::npos; });
  return out_.text.substr(0, out_.text.find('\n'));
}

void ChildProcess::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

int ChildProcess::Wait() {
  if (outReader_.joinable()) outReader_.join();
  if (errReader_.joinable()) errReader_.join();
  if (pid_ <= 0) return -1;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
  }
  pid_ = -1;
  // The terminal's reader ends when the child, its terminal's last user, has ended.
  if (terminalReader_.joinable()) terminalReader_.join();
  if (terminalFd_ >= 0) ::close(terminalFd_);
  terminalFd_ = -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

std::string ChildProcess::out() {
  std::lock_guard<std::mutex> guard(mutex_);
  return out_.text;
}

std::string ChildProcess::err() {
  std::lock_guard<std::mutex> guard(mutex_);
  return err_.text;
}

}  // namespace orvella::test
