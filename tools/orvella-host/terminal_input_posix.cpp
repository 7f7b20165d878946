// The terminal's questions on POSIX: /dev/tty, its echo turned off for a hidden answer.
#include "tools/orvella-host/terminal_input.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>

namespace orvella::host {
namespace {

// What a signal handler needs to show typing again: the terminal and its settings.
volatile sig_atomic_t g_terminal = -1;
termios g_saved{};

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

// Async-signal-safe: restores the echo, then lets the signal do what it does by default.
void RestoreAndReraise(int signal) {
  if (g_terminal >= 0) ::tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

bool WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to the line's end; false when the terminal ended or failed first.
bool ReadLine(int fd, std::string& line) {
  for (char c;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    line += c;
  }
}

// Turns the echo off (the line's end still shows) and keeps the settings to restore.
bool HideTyping(int fd, struct sigaction (&previous)[std::size(kStopSignals)]) {
  if (::tcgetattr(fd, &g_saved) != 0) return false;
  g_terminal = fd;
  struct sigaction restore {};
  restore.sa_handler = RestoreAndReraise;
  sigemptyset(&restore.sa_mask);
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    ::sigaction(kStopSignals[i], &restore, &previous[i]);
  }
  termios quiet = g_saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  return ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
}

void ShowTyping(int fd, const struct sigaction (&previous)[std::size(kStopSignals)]) {
  ::tcsetattr(fd, TCSAFLUSH, &g_saved);
  g_terminal = -1;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
  }
}

}  // namespace

bool AskTerminal(const std::string& prompt, bool hidden, std::string& answer) {
  answer.clear();
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct sigaction previous[std::size(kStopSignals)] = {};
  bool ok = !hidden || HideTyping(fd, previous);
  ok = ok && WriteAll(fd, prompt) && ReadLine(fd, answer);
  if (hidden && g_terminal >= 0) ShowTyping(fd, previous);
  ::close(fd);
  if (!ok) answer.clear();
  return ok;
}

}  // namespace orvella::host
