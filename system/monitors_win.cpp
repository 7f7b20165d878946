// The monitors on Windows: EnumDisplayMonitors with no device context and no clipping
// rectangle, so every monitor is reported once, in virtual-screen coordinates.
//
// The rectangles are physical pixels whatever the host's DPI awareness: a host that is
// not DPI-aware would see a 3840x2160 monitor at 200 % as 1920x1080, and be sent
// pictures a quarter of the size. The thread is made per-monitor aware around the
// enumeration and given back its own awareness afterwards. Systems before Windows 10
// 1607 have no thread awareness; there the process's own decides.
#include "system/monitors.h"

#include <windows.h>

namespace orvella {
namespace {

using DpiContext = HANDLE;  // DPI_AWARENESS_CONTEXT
using SetThreadDpiContext = DpiContext(WINAPI*)(DpiContext);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 (Windows 10 1703 on) and its predecessor.
const DpiContext kPerMonitorAwareV2 = reinterpret_cast<DpiContext>(-4);
const DpiContext kPerMonitorAware = reinterpret_cast<DpiContext>(-3);

// Returns the system's SetThreadDpiAwarenessContext, or null where it has none.
SetThreadDpiContext LookUpSetThreadDpiContext() {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<SetThreadDpiContext>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
}

// Looked up once, while the module loads, on the loading thread: the worker measures the
// monitors, and the loader's lookups take the lock that an unload holds while it waits for
// the worker.
const SetThreadDpiContext kSetThreadDpiContext = LookUpSetThreadDpiContext();

// The calling thread per-monitor DPI aware for the scope's lifetime, where the system
// can make it so.
class PerMonitorDpiScope {
 public:
  PerMonitorDpiScope() : set_(kSetThreadDpiContext) {
    if (set_ == nullptr) return;
    previous_ = set_(kPerMonitorAwareV2);
    if (previous_ == nullptr) previous_ = set_(kPerMonitorAware);  // no V2 (Wine 8 too)
  }
  ~PerMonitorDpiScope() {
    if (previous_ != nullptr) set_(previous_);
  }
  PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
  PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

 private:
  SetThreadDpiContext set_ = nullptr;
  DpiContext previous_ = nullptr;  // null: the thread's awareness was not changed
};

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
  const PerMonitorDpiScope physicalPixels;
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&rects));
  return rects;
}

}  // namespace orvella
