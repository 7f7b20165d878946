// Temporary folders and a private XDG config home for tests (POSIX).
#include "tests/support/temp_dir.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace orvella::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvella-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore rights that a test took away, so everything can be removed.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

Planted PlantLink(const std::filesystem::path& at, const std::filesystem::path& target) {
  return ::symlink(target.c_str(), at.c_str()) == 0 ? Planted::kLink : Planted::kNone;
}

bool PlantPipe(const std::filesystem::path& at) {
  return ::mkfifo(at.c_str(), 0600) == 0;
}

ScopedConfigHome::ScopedConfigHome() {
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    old_ = old;
    hadOld_ = true;
  }
  ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
}

ScopedConfigHome::~ScopedConfigHome() {
  if (hadOld_) {
    ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace orvella::test
