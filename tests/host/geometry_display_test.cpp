// The largest monitor: the choice rule, the 512 limit, and the X source without X.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/display_geometry.h"
#include "host/write_log.h"
#include "tests/support/fake_host.h"

namespace orvella::test {
namespace {

// The fixed monitor list the fake source reports.
std::vector<DisplayRect> g_monitors;
std::vector<DisplayRect> FixedMonitors() {
  return g_monitors;
}

DisplayGeometry Enumerate(std::vector<DisplayRect> monitors) {
  g_monitors = std::move(monitors);
  DisplayGeometry geometry;
  geometry.count = 99;  // whatever a previous pass left
  geometry.largest = {1, 2, 3, 4};
  EnumerateDisplays(geometry, &FixedMonitors);
  return geometry;
}

int32_t Width(const DisplayGeometry& g) {
  return g.largest.right - g.largest.left;
}
int32_t Height(const DisplayGeometry& g) {
  return g.largest.bottom - g.largest.top;
}

TEST(DisplayGeometry, LargestMonitorNeedsToGrowInBothDirections) {
  struct Case {
    const char* what;
    std::vector<DisplayRect> monitors;
    int32_t width, height, left;
  };
  const Case cases[] = {
      {"one monitor", {{0, 0, 1920, 1080}}, 1920, 1080, 0},
      {"two equal side by side: the first stays",
       {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}},
       1920,
       1080,
       0},
      {"second wider and taller", {{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}}, 1920, 1080, 1280},
      {"second wider but not taller", {{0, 0, 1920, 1200}, {1920, 0, 4480, 1080}}, 1920, 1200, 0},
      {"portrait first, landscape second",
       {{0, 0, 1080, 1920}, {1080, 0, 3000, 1080}},
       1080,
       1920,
       0},
      {"negative coordinates", {{-1920, 0, 0, 1080}}, 1920, 1080, -1920},
  };
  for (const Case& c : cases) {
    const DisplayGeometry g = Enumerate(c.monitors);
    EXPECT_EQ(g.count, static_cast<int32_t>(c.monitors.size())) << c.what;
    EXPECT_EQ(Width(g), c.width) << c.what;
    EXPECT_EQ(Height(g), c.height) << c.what;
    EXPECT_EQ(g.largest.left, c.left) << c.what;
  }
}

TEST(DisplayGeometry, EmptyMonitorsAreCountedButNeverChosen) {
  const DisplayGeometry none = Enumerate({});
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(none.largest, (DisplayRect{0, 0, 0, 0}));

  const DisplayGeometry g = Enumerate({{5, 5, 5, 900}, {0, 0, 800, 600}});
  EXPECT_EQ(g.count, 2);
  EXPECT_EQ(g.largest, (DisplayRect{0, 0, 800, 600}));
}

TEST(DisplayGeometry, At512MonitorsTheRestIsIgnoredWithOneLineEach) {
  FakeHost host;
  SetLogCallback(FakeHost::callback());
  std::vector<DisplayRect> monitors(512, DisplayRect{0, 0, 640, 480});
  monitors.push_back({0, 0, 3840, 2160});  // 513th: would win, but is not considered
  monitors.push_back({0, 0, 5120, 2880});
  const DisplayGeometry g = Enumerate(monitors);
  SetLogCallback(nullptr);
  EXPECT_EQ(g.count, 512);
  EXPECT_EQ(Width(g), 640);
  EXPECT_EQ(host.CountLogs(L"MonitorEnumProc2, N. of monitors=512"), 2);
  EXPECT_EQ(host.logs().size(), 2u);
}

TEST(DisplayGeometry, WithoutADisplayTheWindowSystemReportsNoMonitor) {
  const char* old = std::getenv("DISPLAY");
  const std::string saved = old ? old : "";
  ::unsetenv("DISPLAY");
  EXPECT_TRUE(ListMonitorRects().empty());
  DisplayGeometry g;
  EnumerateDisplays(g);
  EXPECT_EQ(g.count, 0);
  EXPECT_EQ(Width(g), 0);
  if (old) ::setenv("DISPLAY", saved.c_str(), 1);
}

// A virtual X server of a known size, when Xvfb is installed.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    // -noreset: the probe below must not make the server reset as its only client leaves.
    const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                          "1600x900x24", "-nolisten",  "tcp",      "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc =
        ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) pid_ = 0;
    // The number comes as "N\n"; the pipe stays open until the line is complete, or the
    // server fails to write its end and quits.
    std::string number;
    char c = 0;
    while (pid_ && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty() && AcceptsConnections(std::atoi(number.c_str()))) {
      display_ = ":" + number;
    }
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& name() const { return display_; }

 private:
  // Xvfb names its display before it is done starting: wait until its socket answers.
  static bool AcceptsConnections(int number) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%d", number);
    for (int attempt = 0; attempt < 500; ++attempt) {
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      ::close(fd);
      if (ok) return true;
      ::usleep(10000);
    }
    return false;
  }

  pid_t pid_ = 0;
  std::string display_;
};

TEST(DisplayGeometry, XrandrReportsTheScreenOfAVirtualDisplay) {
  VirtualDisplay display;
  if (display.name().empty()) GTEST_SKIP() << "Xvfb is not available";
  const char* old = std::getenv("DISPLAY");
  const std::string saved = old ? old : "";
  ::setenv("DISPLAY", display.name().c_str(), 1);
  const std::vector<DisplayRect> rects = ListMonitorRects();

  DisplayGeometry g;
  EnumerateDisplays(g);
  if (old)
    ::setenv("DISPLAY", saved.c_str(), 1);
  else
    ::unsetenv("DISPLAY");
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0], (DisplayRect{0, 0, 1600, 900}));
  EXPECT_EQ(g.count, 1);
  EXPECT_EQ(Width(g), 1600);
  EXPECT_EQ(Height(g), 900);
}

}  // namespace
}  // namespace orvella::test
