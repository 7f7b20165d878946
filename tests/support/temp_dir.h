// A temporary folder for one test, removed with its contents afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace orvella::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// path() / name.
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  /// Writes `bytes` to path() / name, creating folders; returns the file's path.
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const;
  /// Returns the whole content of path() / name ("" when missing).
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

/// How a planted link turned out.
enum class Planted {
  kNone,    // the platform or its rights allow no link
  kLink,    // a link the platform shows as one
  kHidden,  // a link the platform shows as the file it points to (Wine's Unix links)
};
/// Plants a symbolic link at `at` that points to `target`.
Planted PlantLink(const std::filesystem::path& at, const std::filesystem::path& target);
/// Plants a named pipe (FIFO) at `at`. Returns false where the platform has none in its
/// file system (Windows).
bool PlantPipe(const std::filesystem::path& at);

/// Points XDG_CONFIG_HOME at a fresh temporary folder for its lifetime.
class ScopedConfigHome {
 public:
  ScopedConfigHome();
  ~ScopedConfigHome();
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace orvella::test
