// The reference host's profile: an INI file that answers the plug-in's profile requests.
#pragma once

#include <mutex>
#include <string>

#include "base/host_callback.h"

typedef struct _GKeyFile GKeyFile;

namespace orvella::host {

class IniProfile {
 public:
  /// Opens (or starts) the profile kept at `path`; a missing file is an empty profile.
  explicit IniProfile(std::string path);
  ~IniProfile();
  IniProfile(const IniProfile&) = delete;
  IniProfile& operator=(const IniProfile&) = delete;

  /// Answers op 6: fills the request's value from the profile or its default.
  void Read(ProfileRequest& request);
  /// Answers op 5: stores the value and writes the file. Returns false when the file
  /// cannot be written.
  bool Write(const ProfileRequest& request);

  /// Direct access for the host's own commands (demo set-up, show).
  void SetInt(const std::string& section, const std::string& key, int value);
  void SetString(const std::string& section, const std::string& key, const std::string& value);
  /// Writes the file; returns false and leaves the old file when that fails.
  bool Save();
  const std::string& path() const { return path_; }

 private:
  std::mutex mutex_;
  std::string path_;
  GKeyFile* file_;
  std::wstring lastText_;  // keeps a string answer alive until the next request
};

/// Returns the default profile path: $ORVELLA_HOST_PROFILE, else
/// ${XDG_CONFIG_HOME:-$HOME/.config}/orvella-host/profile.ini.
std::string DefaultProfilePath();

}  // namespace orvella::host
