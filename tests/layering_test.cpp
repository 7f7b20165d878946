// The source tree's layers: each folder includes only the folders below it, and portable
// files include no OS or toolkit header. Both platforms' files are read, whichever
// platform builds the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

// Which of our folders each folder may include, besides itself.
const std::map<std::string, std::set<std::string>>& AllowedIncludes() {
  static const std::map<std::string, std::set<std::string>> table = {
      {"base", {}},
      {"model", {}},
      {"resources", {}},
      {"system", {"base"}},
      {"net", {"base"}},
      {"service", {"base", "model", "net", "resources"}},
      {"engine", {"base", "model", "net", "service", "system"}},
      {"ui", {"base", "model", "resources", "service", "system"}},
      {"host", {"base", "model", "net", "resources", "service", "system", "engine", "ui"}},
  };
  return table;
}

// What each program under tools/ may include of the product besides base/, model/ and
// resources/ (and its own folder): the public headers a program beside the plug-in needs,
// never an engine, host or service internal. bench/ measures the product whole and may
// include any of it, and the tests' support.
struct ToolRule {
  std::set<std::string> folders;
  std::set<std::string> headers;
};
const std::map<std::string, ToolRule>& ToolIncludes() {
  static const std::set<std::string> kGround = {"base", "model", "resources"};
  static const std::map<std::string, ToolRule> table = {
      {"tools/orvella-host",
       {kGround,
        {// the image folder's record, read as the plug-in reads it
         "engine/image_folder.h",
         // the profile rules and the account, as the plug-in keeps them
         "host/config_store.h", "host/host_profile.h",
         // the sign-in request and the settings dialog's rules
         "ui/sign_in_request.h", "ui/authorizer.h", "ui/settings_rules.h", "ui/integer_field.h",
         "service/server_address.h",
         // the platform services the host reads its own files with
         "system/safe_files.h", "system/folder_handle.h", "system/folder_lock.h",
         "system/measured_size.h", "system/user_store.h", "system/config_home.h"}}},
      {"tools/orvella-artd", {kGround, {}}},
      {"tools/rcgen", {kGround, {}}},
      {"bench",
       {{"base", "model", "resources", "system", "net", "service", "engine", "ui", "host", "tests"},
        {}}},
  };
  return table;
}

// Platform files are named for their backend; everything else is portable.
bool IsPlatformFile(const fs::path& file) {
  static const std::regex platform(
      R"(.*_(posix|win|curl|wininet|xrandr|gtk)\.(cpp|h)$|.*plugin_entry\.cpp$)");
  return std::regex_match(file.filename().string(), platform);
}

struct Include {
  std::string file;  // relative to the source root
  int line = 0;
  std::string target;  // the text between the quotes or brackets
  bool quoted = false;
};

std::vector<Include> IncludesOf(const fs::path& file) {
  static const std::regex directive(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<Include> found;
  std::ifstream in(file);
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    std::smatch match;
    if (!std::regex_search(text, match, directive)) continue;
    found.push_back({fs::relative(file, ORVELLA_SOURCE_DIR).generic_string(), number,
                     match[2].str(), match[1].str() == "\""});
  }
  return found;
}

// Every .cpp and .h of a source folder, both platforms' files included.
std::vector<fs::path> SourcesOf(const std::string& folder) {
  std::vector<fs::path> files;
  const fs::path root = fs::path(ORVELLA_SOURCE_DIR) / folder;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const fs::path& file = entry.path();
    if (entry.is_regular_file() && (file.extension() == ".cpp" || file.extension() == ".h"))
      files.push_back(file);
  }
  return files;
}

// The folder a quoted include names, or "" when it names none of ours.
std::string FolderOf(const std::string& target) {
  const std::size_t slash = target.find('/');
  if (slash == std::string::npos) return "";
  const std::string folder = target.substr(0, slash);
  if (AllowedIncludes().count(folder) != 0 || folder == "tools" || folder == "tests") return folder;
  return "";
}

TEST(Layering, EveryFolderIncludesOnlyTheFoldersBelowIt) {
  int checked = 0;
  for (const auto& [folder, allowed] : AllowedIncludes()) {
    for (const fs::path& file : SourcesOf(folder)) {
      for (const Include& include : IncludesOf(file)) {
        if (!include.quoted) continue;
        const std::string target = FolderOf(include.target);
        ++checked;
        EXPECT_TRUE(target.empty() || target == folder || allowed.count(target) != 0)
            << include.file << ":" << include.line << " includes " << include.target;
      }
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(Layering, ProgramsBesideThePlugInIncludeOnlyItsPublicHeaders) {
  int checked = 0;
  for (const auto& [place, rule] : ToolIncludes()) {
    for (const fs::path& file : SourcesOf(place)) {
      for (const Include& include : IncludesOf(file)) {
        if (!include.quoted) continue;
        const std::string target = FolderOf(include.target);
        if (target.empty() || include.target.starts_with(place + "/")) continue;
        ++checked;
        EXPECT_TRUE(rule.folders.count(target) != 0 || rule.headers.count(include.target) != 0)
            << include.file << ":" << include.line << " includes " << include.target;
      }
    }
  }
  EXPECT_GT(checked, 20);
}

TEST(Layering, PortableFilesIncludeNoPlatformHeader) {
  static const std::regex forbidden(
      R"(^(windows\.h|wininet\.h|shlobj\.h|curl/|gtk/|gdk/|glib|X11/|unistd\.h|dlfcn\.h|sys/|fcntl\.h|pthread\.h))");
  int checked = 0;
  for (const auto& [folder, allowed] : AllowedIncludes()) {
    for (const fs::path& file : SourcesOf(folder)) {
      if (IsPlatformFile(file)) continue;
      ++checked;
      for (const Include& include : IncludesOf(file)) {
        EXPECT_FALSE(std::regex_search(include.target, forbidden))
            << include.file << ":" << include.line << " includes " << include.target;
      }
    }
  }
  EXPECT_GT(checked, 40);
}

}  // namespace
}  // namespace orvella::test
