// The largest monitor: the choice rule, the 512 limit, and XRandR with and without X.
#include <gtest/gtest.h>

#include <vector>

#include "base/write_log.h"
#include "system/display_geometry.h"
#include "tests/support/fake_host.h"
#include "tests/support/virtual_display.h"

namespace orvella::test {
namespace {

std::vector<DisplayRect> g_monitors;  // what the fake source reports
std::vector<DisplayRect> FixedMonitors() {
  return g_monitors;
}

DisplayGeometry Enumerate(std::vector<DisplayRect> monitors) {
  g_monitors = std::move(monitors);
  DisplayGeometry geometry{99, {1, 2, 3, 4}};  // whatever a previous pass left
  EnumerateDisplays(geometry, &FixedMonitors);
  return geometry;
}

TEST(DisplayGeometry, LargestMonitorMustGrowInBothDirections) {
  struct Case {
    std::vector<DisplayRect> monitors;
    DisplayRect largest;
  };
  const Case cases[] = {
      {{{0, 0, 1920, 1080}}, {0, 0, 1920, 1080}},
      {{{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}, {0, 0, 1920, 1080}},     // equal: first
      {{{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}}, {1280, 0, 3200, 1080}},  // both larger
      {{{0, 0, 1920, 1200}, {1920, 0, 4480, 1080}}, {0, 0, 1920, 1200}},     // wider only
      {{{0, 0, 1080, 1920}, {1080, 0, 3000, 1080}}, {0, 0, 1080, 1920}},     // portrait first
      {{{-1920, 0, 0, 1080}}, {-1920, 0, 0, 1080}},                          // negative
      {{{5, 5, 5, 900}, {0, 0, 800, 600}}, {0, 0, 800, 600}},                // empty one
      {{}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const DisplayGeometry g = Enumerate(c.monitors);
    EXPECT_EQ(g.count, static_cast<int32_t>(c.monitors.size()));
    EXPECT_EQ(g.largest, c.largest) << g.largest.left << " " << g.largest.right;
  }
}

TEST(DisplayGeometry, At512MonitorsTheRestIsIgnoredWithOneLineEach) {
  FakeHost host;
  SetLogCallback(FakeHost::callback());
  std::vector<DisplayRect> monitors(512, DisplayRect{0, 0, 640, 480});
  monitors.push_back({0, 0, 3840, 2160});  // would win, but is not considered
  monitors.push_back({0, 0, 5120, 2880});
  const DisplayGeometry g = Enumerate(monitors);
  SetLogCallback(nullptr);
  EXPECT_EQ(g.count, 512);
  EXPECT_EQ(g.largest.right, 640);
  EXPECT_EQ(host.logs(), std::vector<std::wstring>(2, L"MonitorEnumProc2, N. of monitors=512"));
}

TEST(DisplayGeometry, XrandrReportsNothingWithoutADisplayAndTheScreenOfOne) {
  {
    const ScopedDisplayVariable none("");
    EXPECT_TRUE(ListMonitorRects().empty());
  }
  const VirtualDisplay display(1600, 900);
  if (!display.running()) GTEST_SKIP() << "Xvfb is not available";
  const ScopedDisplayVariable shown(display.name());
  DisplayGeometry g;
  EnumerateDisplays(g);
  EXPECT_EQ(g.count, 1);
  EXPECT_EQ(g.largest, (DisplayRect{0, 0, 1600, 900}));
}

}  // namespace
}  // namespace orvella::test
