/* syncfs(2) made visible to the power-cut file system (power_cut_fs.h). The kernel never
 * forwards syncfs to a FUSE file system (only to virtiofs), so a program that groups its
 * flushes into one syncfs, as `sync -f` does, would look as if it never flushed. Run with
 * the shim of power_cut_syncfs_shim.c preloaded (LD_PRELOAD), each syncfs() of a
 * descriptor in a FUSE mount is followed by this ioctl on it, which the power-cut file
 * system takes as a flush of everything it holds. Shared by C and C++. */
#pragma once

#include <sys/ioctl.h>

enum { kPowerCutSyncFs = _IO('P', 0xC5) };

/* The file system type statfs() reports for every FUSE mount. */
enum { kFuseSuperMagic = 0x65735546 };
