// The clock and timed-wait functions of the C library, shifted by an offset the test moves.
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "tests/support/boot_clock_fake.h"

namespace orvella::test::boot_clock {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
constexpr int64_t kLongWait = 5 * kNanosecondsPerSecond;
// A wait looks at the offset this often, so an advance ends it within this time.
constexpr int64_t kSlice = 10000000;

std::atomic<int64_t> g_offset{0};  // nanoseconds added to the monotonic and boot clocks
std::atomic<uint64_t> g_longWaitsBegun{0};
std::atomic<int> g_longWaitsInProgress{0};

bool IsShifted(clockid_t clock) {
  return clock == CLOCK_MONOTONIC || clock == CLOCK_MONOTONIC_RAW ||
         clock == CLOCK_MONOTONIC_COARSE || clock == CLOCK_BOOTTIME;
}

// The kernel's clock, without the library (whose function this file replaces).
int RealClock(clockid_t clock, timespec* now) {
  return static_cast<int>(::syscall(SYS_clock_gettime, clock, now));
}

int64_t Nanoseconds(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

timespec Timespec(int64_t nanoseconds) {
  timespec time{};
  time.tv_sec = static_cast<time_t>(nanoseconds / kNanosecondsPerSecond);
  time.tv_nsec = static_cast<long>(nanoseconds % kNanosecondsPerSecond);
  return time;
}

int64_t RealMonotonic() {
  timespec now{};
  RealClock(CLOCK_MONOTONIC, &now);
  return Nanoseconds(now);
}

using ClockWait = int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*);

ClockWait LibraryClockWait() {
  static const auto library =
      reinterpret_cast<ClockWait>(::dlsym(RTLD_NEXT, "pthread_cond_clockwait"));
  return library;
}

}  // namespace

void Advance(std::chrono::milliseconds by) {
  g_offset += std::chrono::duration_cast<std::chrono::nanoseconds>(by).count();
}

uint64_t LongWaitsBegun() {
  return g_longWaitsBegun.load();
}

int LongWaitsInProgress() {
  return g_longWaitsInProgress.load();
}

}  // namespace orvella::test::boot_clock

using namespace orvella::test::boot_clock;

extern "C" __attribute__((visibility("default"))) int clock_gettime(clockid_t clock,
                                                                    timespec* now) {
  const int result = RealClock(clock, now);
  if (result == 0 && IsShifted(clock)) *now = Timespec(Nanoseconds(*now) + g_offset.load());
  return result;
}

// `deadline` is on the shifted clock; the wait goes on in short real slices until the
// shifted clock reaches it, or the condition is signalled.
extern "C" __attribute__((visibility("default"))) int pthread_cond_clockwait(
    pthread_cond_t* condition, pthread_mutex_t* mutex, clockid_t clock, const timespec* deadline) {
  if (clock != CLOCK_MONOTONIC) return LibraryClockWait()(condition, mutex, clock, deadline);
  const int64_t until = Nanoseconds(*deadline);
  const bool longWait = until - (RealMonotonic() + g_offset.load()) >= kLongWait;
  if (longWait) {
    ++g_longWaitsInProgress;
    ++g_longWaitsBegun;
  }
  int result = ETIMEDOUT;
  for (;;) {
    const int64_t now = RealMonotonic();
    const int64_t left = until - (now + g_offset.load());
    if (left <= 0) break;
    const timespec slice = Timespec(now + std::min(left, kSlice));
    result = LibraryClockWait()(condition, mutex, CLOCK_MONOTONIC, &slice);
    if (result != ETIMEDOUT) break;
    result = ETIMEDOUT;
  }
  if (longWait) --g_longWaitsInProgress;
  return result;
}
