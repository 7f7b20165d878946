// The tick count from the boot clock, which keeps counting while the system is suspended
// (the monotonic clock stops then).
#include <time.h>

#include "system/tick_count.h"

namespace orvella {

uint64_t SystemTickCount() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace orvella
