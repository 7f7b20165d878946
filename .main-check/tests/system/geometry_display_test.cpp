// The largest monitor: the choice rule, the 512 limit, and XRandR with and without X.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/write_log.h"
#include "system/display_geometry.h"
#include "tests/support/fake_host.h"

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

// Runs `body` with DISPLAY set to `display` (unset when empty), then restores it.
template <class Body>
void WithDisplay(const std::string& display, Body body) {
  const char* old = std::getenv("DISPLAY");
  const std::string saved = old ? old : "";
  display.empty() ? ::unsetenv("DISPLAY") : ::setenv("DISPLAY", display.c_str(), 1);
  body();
  old ? ::setenv("DISPLAY", saved.c_str(), 1) : ::unsetenv("DISPLAY");
}

TEST(DisplayGeometry, XrandrReportsNothingWithoutADisplayAndTheScreenOfOne) {
  WithDisplay("", [] { EXPECT_TRUE(ListMonitorRects().empty()); });

  // A virtual screen of known size on a free display; it names the display on a pipe
  // once it accepts clients. -noreset keeps it up between our short connections.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string fd = std::to_string(fds[1]);
  const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                        "1600x900x24", "-nolisten",  "tcp",      "-noreset", nullptr};
  pid_t pid = 0;
  const bool spawned =
      ::posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
  ::close(fds[1]);
  std::string display = ":";
  char c = 0;
  while (spawned && ::read(fds[0], &c, 1) == 1 && c != '\n') display += c;
  ::close(fds[0]);
  if (display.size() < 2) GTEST_SKIP() << "Xvfb is not available";
  WithDisplay(display, [] {
    DisplayGeometry g;
    EnumerateDisplays(g);
    EXPECT_EQ(g.count, 1);
    EXPECT_EQ(g.largest, (DisplayRect{0, 0, 1600, 900}));
  });
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace
}  // namespace orvella::test
