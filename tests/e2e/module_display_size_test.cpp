// The picture size through the real module where no display is reachable: 0 x 0 with a
// log line until a size was measured, then the size measured last.
#include "system/measured_size.h"
#include "tests/support/module_sync_fixture.h"
#include "tests/support/virtual_display.h"

namespace orvella::test {
namespace {

class ModuleDisplaySizeTest : public ModuleSyncTest {
 protected:
  /// The size each feed query asked for since the last call, as "WxH".
  std::vector<std::string> AskedSizes() {
    std::vector<std::string> sizes;
    for (const ReceivedRequest& request : server.server.requests()) {
      if (request.path == "/api/v3/art/")
        sizes.push_back(Value(request, "_width=") + "x" + Value(request, "_height="));
    }
    server.server.ClearRequests();
    return sizes;
  }
  static std::string Value(const ReceivedRequest& request, const std::string& key) {
    const std::size_t at = request.target.find(key);
    if (at == std::string::npos) return "?";
    const std::size_t start = at + key.size();
    return request.target.substr(start, request.target.find('&', start) - start);
  }
};

TEST_F(ModuleDisplaySizeTest, WithoutADisplayTheSizeMeasuredLastIsAskedFor) {
  const std::vector<std::string> none = {"0x0", "0x0"};
  Pass();  // nothing measured yet
  EXPECT_EQ(AskedSizes(), none);
  EXPECT_EQ(host.CountLogs(L"EnumerateDisplays: no monitor found and no size measured before, "
                           L"asking for 0x0"),
            2);  // one per query
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{0, 0}));

  const std::vector<std::string> measured = {"1600x900", "1600x900"};
  {
    const VirtualDisplay display(1600, 900);
    if (!display.running()) GTEST_SKIP() << "Xvfb is not available";
    const ScopedDisplayVariable shown(display.name());
    Pass();
    EXPECT_EQ(AskedSizes(), measured);
    EXPECT_EQ(host.CountLogs(L"EnumerateDisplays"), 0);
  }
  EXPECT_EQ(ReadMeasuredSize(), (MeasuredSize{1600, 900}));
  Pass();  // the display is gone again
  EXPECT_EQ(AskedSizes(), measured);
  EXPECT_EQ(host.CountLogs(L"EnumerateDisplays: no monitor found, asking for the size measured "
                           L"before, 1600x900"),
            2);
}

}  // namespace
}  // namespace orvella::test
