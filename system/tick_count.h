// The system's tick count: milliseconds since the machine started, the clock the worker
// measures feed intervals and back-off steps with.
#pragma once

#include <cstdint>

namespace orvella {

/// Returns the milliseconds since the system started, time spent suspended or hibernated
/// included (a laptop that slept through a feed's interval finds the feed due when it
/// wakes). Never wraps and never goes back; its low 32 bits are the 32-bit tick count the
/// feeds keep as their last query time. Never fails. Any thread.
uint64_t SystemTickCount();

}  // namespace orvella
