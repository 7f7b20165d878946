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
