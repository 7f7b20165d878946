// Xvfb names its display on a pipe once it accepts clients; -noreset keeps it up between
// the tests' short connections.
#include "tests/support/virtual_display.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvella::test {

VirtualDisplay::VirtualDisplay(int width, int height) {
  int fds[2];
  if (::pipe(fds) != 0) return;
  const std::string fd = std::to_string(fds[1]);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                        screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
  const bool spawned =
      ::posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
  ::close(fds[1]);
  std::string display = ":";
  char c = 0;
  while (spawned && ::read(fds[0], &c, 1) == 1 && c != '\n') display += c;
  ::close(fds[0]);
  if (!spawned) pid_ = 0;
  if (display.size() > 1) name_ = display;
}

VirtualDisplay::~VirtualDisplay() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

ScopedDisplayVariable::ScopedDisplayVariable(const std::string& display) {
  if (const char* old = std::getenv("DISPLAY")) {
    old_ = old;
    hadOld_ = true;
  }
  display.empty() ? ::unsetenv("DISPLAY") : ::setenv("DISPLAY", display.c_str(), 1);
}

ScopedDisplayVariable::~ScopedDisplayVariable() {
  hadOld_ ? ::setenv("DISPLAY", old_.c_str(), 1) : ::unsetenv("DISPLAY");
}

}  // namespace orvella::test
