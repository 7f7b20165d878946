/* Preloaded (LD_PRELOAD) into a program the power-cut tests watch: its syncfs() calls
 * reach the power-cut file system as the request of power_cut_syncfs.h. Anything else
 * passes unchanged; on any other file system the request is not sent. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "tests/support/power_cut_syncfs.h"

/* Returns what the system's syncfs returns, or -1 with errno set when the power-cut file
 * system refused the flush (after a cut). Any thread. */
__attribute__((visibility("default"))) int syncfs(int fd) {
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "syncfs");
  int done = real != 0 ? real(fd) : 0;
  int saved = errno;
  struct statfs info;
  if (done == 0 && fstatfs(fd, &info) == 0 && info.f_type == kFuseSuperMagic &&
      ioctl(fd, kPowerCutSyncFs) != 0 && errno != ENOTTY) {
    return -1; /* errno from the ioctl: the power is off */
  }
  errno = saved;
  return done;
}
