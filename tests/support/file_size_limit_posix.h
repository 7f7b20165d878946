// A full disk as POSIX lets a test make one: a limit on the size of the files this process
// writes.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace orvella::test {

/// Limits the size of files this process writes (writes beyond fail with EFBIG), as a
/// full disk would; restored when it goes out of scope.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_{};
};

}  // namespace orvella::test
