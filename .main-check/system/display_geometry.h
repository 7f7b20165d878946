// The largest monitor of the desktop: the picture size asked from the art service.
#pragma once

#include <cstdint>

#include "system/monitors.h"

namespace orvella {

/// At most this many monitors are taken into account by one enumeration.
inline constexpr int32_t kMaxMonitors = 512;

/// What one enumeration found: the number of monitors and the largest of them.
struct DisplayGeometry {
  int32_t count = 0;
  DisplayRect largest;
};

/// Resets `geometry` and fills it from `source`. The first monitor with a positive
/// width and height becomes `largest`; a later one replaces it only when it is wider
/// and taller. Monitors beyond the 512th are ignored, each with one log line. Worker
/// thread (any thread; it writes log lines).
void EnumerateDisplays(DisplayGeometry& geometry, MonitorSource source = &ListMonitorRects);

}  // namespace orvella
