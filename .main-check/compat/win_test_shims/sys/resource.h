// Windows has no per-process limit on the size of files written. The declarations let
// the portable test fixtures compile; every call fails with ENOSYS, and the tests that
// need the limit (a full disk simulated) are left out of the Windows run.
#pragma once

#include <errno.h>
#include <signal.h>

#ifndef SIGXFSZ
#define SIGXFSZ 25
#endif
#define RLIMIT_FSIZE 1

typedef unsigned long long rlim_t;
struct rlimit {
  rlim_t rlim_cur;
  rlim_t rlim_max;
};

inline int getrlimit(int, struct rlimit*) {
  errno = ENOSYS;
  return -1;
}

inline int setrlimit(int, const struct rlimit*) {
  errno = ENOSYS;
  return -1;
}
