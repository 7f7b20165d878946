// A virtual X display of a known size (Xvfb) on a free display number, for the tests that
// measure monitors. POSIX only.
#pragma once

#include <sys/types.h>

#include <string>

namespace orvella::test {

class VirtualDisplay {
 public:
  /// Starts Xvfb with one screen of `width` x `height`; returns once it takes clients.
  VirtualDisplay(int width, int height);
  /// Ends it.
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  /// False when Xvfb is not installed or did not start.
  bool running() const { return !name_.empty(); }
  /// The display's name for DISPLAY (":N").
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = 0;
  std::string name_;
};

/// Sets DISPLAY to `display` (unsets it when empty) for its lifetime, then restores it.
class ScopedDisplayVariable {
 public:
  explicit ScopedDisplayVariable(const std::string& display);
  ~ScopedDisplayVariable();
  ScopedDisplayVariable(const ScopedDisplayVariable&) = delete;
  ScopedDisplayVariable& operator=(const ScopedDisplayVariable&) = delete;

 private:
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace orvella::test
