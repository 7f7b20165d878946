// The largest of the monitors a source lists.
#include "system/display_geometry.h"

#include "base/write_log.h"

namespace orvella {
namespace {

int32_t Width(const DisplayRect& r) {
  return r.right - r.left;
}
int32_t Height(const DisplayRect& r) {
  return r.bottom - r.top;
}

}  // namespace

void EnumerateDisplays(DisplayGeometry& geometry, MonitorSource source) {
  geometry = DisplayGeometry{};
  for (const DisplayRect& monitor : source()) {
    if (geometry.count == kMaxMonitors) {
      WriteLog(L"MonitorEnumProc2, N. of monitors=%d", geometry.count);
      continue;
    }
    ++geometry.count;
    // Both directions must grow: a monitor that is only wider (or only taller) than the
    // current choice does not replace it, whatever its area.
    if (Width(monitor) > Width(geometry.largest) && Height(monitor) > Height(geometry.largest)) {
      geometry.largest = monitor;
    }
  }
}

}  // namespace orvella
