// A program of the build run as a child process, its output read as it comes (POSIX).
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvella::test {

class ChildProcess {
 public:
  struct Options {
    /// Variables set (or, with an empty value, removed) for the child.
    std::map<std::string, std::string> env;
    /// Run as this user and group when the test runs as root (-1: as the test's user).
    int runAsUser = -1;
    /// Largest file the child may write, as a full disk would stop it (-1: no limit).
    long long maxFileBytes = -1;
    /// A write beyond maxFileBytes kills the child (SIGXFSZ), as a kill at that line
    /// would, instead of failing with EFBIG.
    bool killAtMaxFileBytes = false;
    /// Given to the child as its standard input, which then ends; without it the child
    /// reads the test's own.
    std::optional<std::string> input;
    /// The child's controlling terminal: the test's (kInherit), none at all (kNone, as
    /// under a timer or a pipeline), or a pseudo-terminal the test types into (kPseudo).
    enum class Terminal { kInherit, kNone, kPseudo } terminal = Terminal::kInherit;
  };

  /// Starts `program` with `args`, standard output and error on pipes. Throws
  /// std::runtime_error when it cannot be started.
  ChildProcess(const std::string& program, std::vector<std::string> args, Options options);
  ChildProcess(const std::string& program, std::vector<std::string> args)
      : ChildProcess(program, std::move(args), Options{}) {}
  /// Kills a child that is still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// Waits until standard output (or error) holds `text`; false when the stream ended
  /// without it.
  bool WaitForOut(const std::string& text) { return WaitFor(out_, text); }
  bool WaitForErr(const std::string& text) { return WaitFor(err_, text); }
  /// The first line of standard output once it is complete ("" when none came).
  std::string FirstLine();

  /// With Terminal::kPseudo: types `text` on the child's terminal, and waits until the
  /// terminal showed `text` (what the child wrote to it and what the terminal echoed);
  /// false when it ended without it.
  void TypeOnTerminal(const std::string& text);
  bool WaitForTerminal(const std::string& text) { return WaitFor(terminal_, text); }
  /// Everything the terminal showed so far.
  std::string terminal();

  /// Sends `signal` to the child.
  void Signal(int signal) const;
  /// Waits for the child to end; returns its exit status, or 128 + the signal that ended
  /// it, as a shell reports it. Both streams are read to their end first.
  int Wait();

  /// Everything read so far from standard output and error.
  std::string out();
  std::string err();

 private:
  struct Stream {
    std::string text;
    bool ended = false;
  };
  void Read(int fd, Stream& stream);
  bool WaitFor(Stream& stream, const std::string& text);

  pid_t pid_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  Stream out_;
  Stream err_;
  Stream terminal_;
  int terminalFd_ = -1;  // the pseudo-terminal's master side
  std::thread outReader_;
  std::thread errReader_;
  std::thread terminalReader_;
};

}  // namespace orvella::test
