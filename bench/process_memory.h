// The benchmarks' view of their own process's memory, from /proc/self/status.
#pragma once

#include <string>

namespace orvella::bench {

/// A "kB" field of /proc/self/status (VmRSS: resident now, VmHWM: the peak since the last
/// reset); 0 when it cannot be read.
long StatusKilobytes(const std::string& field);

/// Starts a new peak: from here on VmHWM counts from what is resident now.
void ResetPeakRss();

}  // namespace orvella::bench
