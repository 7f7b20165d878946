// The window system's monitors, as rectangles in virtual-screen coordinates.
#pragma once

#include <cstdint>
#include <vector>

namespace orvella {

/// A rectangle in pixels of the virtual screen; width is right - left.
struct DisplayRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const DisplayRect&) const = default;
};

/// Returns the rectangle of every monitor in the order the window system reports them;
/// empty when there is no window system to ask (no display, libraries missing). Opens
/// and closes its own connection on each call, so any thread may call it; never throws.
std::vector<DisplayRect> ListMonitorRects();

/// Where EnumerateDisplays takes its monitors from (tests put a fixed list here).
using MonitorSource = std::vector<DisplayRect> (*)();

}  // namespace orvella
