// The reference host's profile: an INI file that answers the plug-in's profile requests.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/host_callback.h"

typedef struct _GKeyFile GKeyFile;

namespace orvella::host {

/// The profile is read once by Load() and written only by Save(): a file that could not
/// be read or parsed is never written, and the file on disk is replaced in one step.
class IniProfile {
 public:
  /// A profile kept at `path`; nothing is read until Load().
  explicit IniProfile(std::string path);
  ~IniProfile();
  IniProfile(const IniProfile&) = delete;
  IniProfile& operator=(const IniProfile&) = delete;

  /// Reads the file; a missing file is an empty profile. Only a regular file (or a link to
  /// one) of at most kMaxProfileBytes is read, never blocking on what stands there.
  /// Returns false with `error` as "PATH:LINE: reason" (or "PATH: reason") when the file
  /// cannot be read or parsed; the profile then stays empty and Save() refuses to write.
  /// Host's thread.
  bool Load(std::string& error);

  /// Answers op 6: fills the request's value from the profile or its default. Section and
  /// key names are matched without letter case. A stored integer that is not a whole
  /// number, or a value in quotes, answers the default and is remembered as a problem
  /// (see problem()); an "nFeeds" above kMaxFeeds answers kMaxFeeds, with a notice
  /// (see notice()). Any thread.
  void Read(ProfileRequest& request);
  /// Answers op 5: stores the value in memory; Save() writes it. Any thread.
  void Write(const ProfileRequest& request);

  /// Direct access for the host's own set-up and the tests. Any thread.
  void SetInt(const std::string& section, const std::string& key, int value);
  void SetString(const std::string& section, const std::string& key, const std::string& value);

  /// Writes the file when a value changed since Load() or the last Save(): to a temporary
  /// file beside it, then renamed over it, keeping comments, unknown keys and the file's
  /// mode. Returns false with `error` naming the file and the cause when nothing was
  /// written (not loaded, read-only, a failed write); the old file is then unchanged.
  bool Save(std::string& error);
  /// The same, for callers that only need to know whether it worked.
  bool Save() {
    std::string error;
    return Save(error);
  }

  /// The first stored value a Read() could not use, as "PATH:LINE: reason"; "" if none.
  std::string problem() const;
  /// The first value a Read() answered other than stored (a feed count lowered to the
  /// plug-in's bound), as a line to show; "" if none.
  std::string notice() const;
  /// True when Load() found a file.
  bool existed() const { return existed_; }
  const std::string& path() const { return path_; }

 private:
  void Set(const std::string& section, const std::string& key, const std::string& value);
  /// Linux: the group and key names as the file spells them, found without letter case;
  /// the names as given when the file has none such.
  std::string StoredGroup(const std::string& section) const;
  std::string StoredKey(const std::string& group, const std::string& key) const;
  /// Linux: records the file's group and key names for StoredGroup() and StoredKey().
  void IndexNames();

  /// A value written since the last save (Windows keeps them here until Save()).
  struct PendingValue {
    std::wstring section;
    std::wstring key;
    std::wstring value;
  };

  mutable std::mutex mutex_;
  std::string path_;
  GKeyFile* file_;  // Linux: the parsed file; Windows: unused
  std::vector<PendingValue> pending_;
  std::string text_;  // the bytes as loaded, for line numbers
  bool loaded_ = false;
  bool existed_ = false;
  bool changed_ = false;
  std::string problem_;
  std::string notice_;
  bool byteOrderMark_ = false;  // Linux: the file began with one, and keeps it
  // Linux: folded group name -> stored name, and per stored group folded key -> stored key.
  std::map<std::string, std::string> groups_;
  std::map<std::string, std::map<std::string, std::string>> keys_;
  std::wstring lastText_;  // keeps a string answer alive until the next request
};

/// Returns the default profile path: $ORVELLA_HOST_PROFILE, else
/// ${XDG_CONFIG_HOME:-$HOME/.config}/orvella-host/profile.ini.
std::string DefaultProfilePath();

}  // namespace orvella::host
