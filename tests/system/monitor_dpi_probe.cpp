// Started by monitors_dpi_win_test.cpp in a process of its own, once the system's DPI was
// set to 192 (200 %): lists the monitors from a thread that is not DPI-aware, as a host
// that never declared its awareness runs, and compares them with the physical pixels.
// Prints what it saw; exits 0 when the list is in physical pixels and the thread's
// awareness was given back, 1 when not, 77 when the system does not scale for such a
// thread (nothing to tell).
#include <windows.h>

#include <cstdio>
#include <vector>

#include "system/monitors.h"

namespace {

using DpiContext = HANDLE;
using SetContext = DpiContext(WINAPI*)(DpiContext);
using GetContext = DpiContext(WINAPI*)();
using SameContexts = BOOL(WINAPI*)(DpiContext, DpiContext);

template <class F>
F User32(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

BOOL CALLBACK Add(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  reinterpret_cast<std::vector<RECT>*>(data)->push_back(*rect);
  return TRUE;
}

std::vector<RECT> Enumerate() {
  std::vector<RECT> rects;
  ::EnumDisplayMonitors(nullptr, nullptr, &Add, reinterpret_cast<LPARAM>(&rects));
  return rects;
}

}  // namespace

int main() {
  const auto set = User32<SetContext>("SetThreadDpiAwarenessContext");
  const auto get = User32<GetContext>("GetThreadDpiAwarenessContext");
  const auto same = User32<SameContexts>("AreDpiAwarenessContextsEqual");
  if (set == nullptr || get == nullptr || same == nullptr) return 77;
  set(reinterpret_cast<DpiContext>(-3));  // per-monitor aware: what the monitors really are
  const std::vector<RECT> physical = Enumerate();
  set(reinterpret_cast<DpiContext>(-1));  // unaware, as the host
  const std::vector<RECT> scaled = Enumerate();
  const DpiContext before = get();
  const std::vector<orvella::DisplayRect> listed = orvella::ListMonitorRects();
  const bool restored = same(before, get()) != FALSE;
  if (physical.empty() || scaled.empty() || listed.size() != physical.size()) return 1;
  std::printf("physical %ldx%ld, unaware %ldx%ld, listed %dx%d, awareness given back: %d\n",
              physical[0].right - physical[0].left, physical[0].bottom - physical[0].top,
              scaled[0].right - scaled[0].left, scaled[0].bottom - scaled[0].top,
              listed[0].right - listed[0].left, listed[0].bottom - listed[0].top, restored);
  std::fflush(stdout);
  if (scaled[0].right - scaled[0].left == physical[0].right - physical[0].left) return 77;
  for (std::size_t i = 0; i < physical.size(); ++i) {
    const orvella::DisplayRect expected{physical[i].left, physical[i].top, physical[i].right,
                                        physical[i].bottom};
    if (!(listed[i] == expected)) return 1;
  }
  return restored ? 0 : 1;
}
