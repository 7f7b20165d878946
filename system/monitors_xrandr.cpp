// Monitor rectangles from XRandR. libX11 and libXrandr are loaded at run time, so the
// module loads and runs on machines without X: there the list is simply empty.
#include "system/monitors.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <dlfcn.h>

#include <mutex>

namespace orvella {
namespace {

// The few entry points we use, resolved once. The libraries stay loaded for the life of
// the process: unloading Xlib while another part of the host may use it is not safe.
struct XApi {
  decltype(&::XOpenDisplay) openDisplay = nullptr;
  decltype(&::XCloseDisplay) closeDisplay = nullptr;
  decltype(&::XDefaultScreen) defaultScreen = nullptr;
  decltype(&::XRootWindow) rootWindow = nullptr;
  decltype(&::XDisplayWidth) displayWidth = nullptr;
  decltype(&::XDisplayHeight) displayHeight = nullptr;
  decltype(&::XRRQueryExtension) queryExtension = nullptr;
  decltype(&::XRRQueryVersion) queryVersion = nullptr;
  decltype(&::XRRGetMonitors) getMonitors = nullptr;
  decltype(&::XRRFreeMonitors) freeMonitors = nullptr;

  bool HasX11() const {
    return openDisplay && closeDisplay && defaultScreen && rootWindow && displayWidth &&
           displayHeight;
  }
  bool HasRandr() const { return queryExtension && queryVersion && getMonitors && freeMonitors; }
};

template <class F>
void Resolve(void* library, const char* name, F& function) {
  if (library != nullptr) function = reinterpret_cast<F>(::dlsym(library, name));
}

const XApi& LoadXApi() {
  static XApi api;
  static std::once_flag once;
  std::call_once(once, [] {
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (x11 == nullptr) return;
    Resolve(x11, "XOpenDisplay", api.openDisplay);
    Resolve(x11, "XCloseDisplay", api.closeDisplay);
    Resolve(x11, "XDefaultScreen", api.defaultScreen);
    Resolve(x11, "XRootWindow", api.rootWindow);
    Resolve(x11, "XDisplayWidth", api.displayWidth);
    Resolve(x11, "XDisplayHeight", api.displayHeight);
    void* randr = ::dlopen("libXrandr.so.2", RTLD_NOW | RTLD_LOCAL);
    Resolve(randr, "XRRQueryExtension", api.queryExtension);
    Resolve(randr, "XRRQueryVersion", api.queryVersion);
    Resolve(randr, "XRRGetMonitors", api.getMonitors);
    Resolve(randr, "XRRFreeMonitors", api.freeMonitors);
  });
  return api;
}

// RandR 1.5 knows monitors (several outputs may form one). Asking an older server for
// them would raise a protocol error, whose default handler ends the process.
bool ServerHasMonitors(const XApi& api, Display* display) {
  if (!api.HasRandr()) return false;
  int eventBase = 0;
  int errorBase = 0;
  if (!api.queryExtension(display, &eventBase, &errorBase)) return false;
  int major = 0;
  int minor = 0;
  if (!api.queryVersion(display, &major, &minor)) return false;
  return major > 1 || (major == 1 && minor >= 5);
}

std::vector<DisplayRect> ReadMonitors(const XApi& api, Display* display) {
  std::vector<DisplayRect> rects;
  const int screen = api.defaultScreen(display);
  if (ServerHasMonitors(api, display)) {
    int n = 0;
    XRRMonitorInfo* monitors = api.getMonitors(display, api.rootWindow(display, screen), True, &n);
    for (int i = 0; monitors != nullptr && i < n; ++i) {
      const XRRMonitorInfo& m = monitors[i];
      rects.push_back({m.x, m.y, m.x + m.width, m.y + m.height});
    }
    if (monitors != nullptr) api.freeMonitors(monitors);
  }
  if (rects.empty()) {
    // No RandR (or no monitor reported): the whole screen counts as one monitor.
    rects.push_back({0, 0, api.displayWidth(display, screen), api.displayHeight(display, screen)});
  }
  return rects;
}

}  // namespace

std::vector<DisplayRect> ListMonitorRects() {
  const XApi& api = LoadXApi();
  if (!api.HasX11()) return {};
  Display* display = api.openDisplay(nullptr);  // our own connection, from $DISPLAY
  if (display == nullptr) return {};
  std::vector<DisplayRect> rects = ReadMonitors(api, display);
  api.closeDisplay(display);
  return rects;
}

}  // namespace orvella
