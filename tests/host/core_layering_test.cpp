// The portable core must build on every platform: it includes no OS or toolkit header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

// Platform files are named for their backend; everything else is core.
bool IsPlatformFile(const fs::path& file) {
  static const std::regex platform(
      R"(.*_(posix|win|curl|wininet|xrandr|gtk)\.(cpp|h)$|.*plugin_entry\.cpp$)");
  return std::regex_match(file.filename().string(), platform);
}

TEST(CoreLayering, CoreSourcesIncludeNoPlatformHeader) {
  static const std::regex forbidden(
      R"(^\s*#\s*include\s*[<"](windows\.h|wininet\.h|shlobj\.h|curl/|gtk/|gdk/|glib|X11/|unistd\.h|dlfcn\.h|sys/|fcntl\.h|pthread\.h)[^>"]*[>"])");
  int checked = 0;
  for (const char* folder : {"host", "service", "engine", "ui", "resources"}) {
    const fs::path root = fs::path(ORVELLA_SOURCE_DIR) / folder;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      const fs::path& file = entry.path();
      if (!entry.is_regular_file() || IsPlatformFile(file)) continue;
      if (file.extension() != ".cpp" && file.extension() != ".h") continue;
      ++checked;
      std::ifstream in(file);
      std::string line;
      int number = 0;
      while (std::getline(in, line)) {
        ++number;
        EXPECT_FALSE(std::regex_search(line, forbidden)) << file << ":" << number << ": " << line;
      }
    }
  }
  EXPECT_GT(checked, 10);
}

}  // namespace
}  // namespace orvella::test
