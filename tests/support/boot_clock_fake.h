// Time that passes on demand, for a test program that loads the real module: hours of the
// worker's life in milliseconds of the test's.
//
// The program that links boot_clock_fake_posix.cpp puts its own clock_gettime and
// pthread_cond_clockwait in front of the C library's, and the module loaded into it binds
// to them. The monotonic and boot clocks then read the real time plus an offset that only
// Advance() moves (the calendar clock is left alone), and a timed wait on the monotonic
// clock ends as soon as that time has passed on it. Everything in the process sees the same
// time: the module's tick, its worker's rests, libcurl's and the test servers' timers.
// Advance only while the module's worker rests (LongWaitsInProgress), so that no transfer
// sees the jump.
#pragma once

#include <chrono>
#include <cstdint>

namespace orvella::test::boot_clock {

/// Moves the monotonic and boot clocks of this process forward by `by`. Any thread.
void Advance(std::chrono::milliseconds by);

/// Timed waits of 5 seconds or more that have begun so far (the worker's 30-second rest
/// between passes is one). Any thread.
uint64_t LongWaitsBegun();

/// Timed waits of 5 seconds or more in progress now. Any thread.
int LongWaitsInProgress();

}  // namespace orvella::test::boot_clock
