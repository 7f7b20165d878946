// The monitors on Windows: EnumDisplayMonitors with no device context and no clipping
// rectangle, so every monitor is reported once, in virtual-screen coordinates.
#include <windows.h>

#include "system/monitors.h"

namespace orvella {
namespace {

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  auto& rects = *reinterpret_cast<std::vector<DisplayRect>*>(data);
  if (rect == nullptr) return TRUE;  // a monitor without a rectangle is not counted
  try {
    rects.push_back({rect->left, rect->top, rect->right, rect->bottom});
  } catch (...) {
    return FALSE;  // out of memory: no exception may cross the system's frames
  }
  return TRUE;
}

}  // namespace

std::vector<DisplayRect> ListMonitorRects() {
  std::vector<DisplayRect> rects;
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&rects));
  return rects;
}

}  // namespace orvella
