// The INI profile over GLib's key file, read once and replaced atomically when saved.
#include "tools/orvella-host/ini_profile.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/text_utf8.h"
#include "system/config_home.h"
#include "tools/orvella-host/ini_dialect.h"
#include "tools/orvella-host/ini_text.h"
#include "tools/orvella-host/profile_answer.h"
#include "tools/orvella-host/profile_limits.h"

namespace orvella::host {
namespace {

constexpr GKeyFileFlags kKeep =
    static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

bool Parses(std::string_view text, GError** error) {
  GKeyFile* file = g_key_file_new();
  const bool ok = g_key_file_load_from_data(file, text.data(), text.size(), kKeep, error);
  g_key_file_free(file);
  return ok;
}

// The parser stops at the first line it cannot take, so a text fails exactly when it
// holds that line: the shortest failing run of whole lines ends with it.
int FirstBadLine(std::string_view text) {
  int good = 0;
  int bad = LineAtOffset(text, text.size());
  while (bad - good > 1) {
    const int middle = good + (bad - good) / 2;
    (Parses(text.substr(0, EndOfLine(text, middle)), nullptr) ? good : bad) = middle;
  }
  return bad;
}

std::string SystemError(const std::string& what, int code) {
  return what + ": " + std::strerror(code);
}

// Writes `bytes` to a new file beside `target` and renames it over `target`, with the
// old file's mode and owner. Returns "" or what failed.
std::string ReplaceFile(const std::string& target, const std::string& bytes) {
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return SystemError("cannot create a file beside it", errno);
  std::string failure;
  if (exists) {
    ::fchmod(fd, old.st_mode & 07777);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only root may give the file away; a user's own file keeps its owner anyway.
    }
  } else {
    ::fchmod(fd, 0644);
  }
  for (std::size_t done = 0; failure.empty() && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failure = SystemError("cannot write", n < 0 ? errno : ENOSPC);
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (failure.empty() && ::fsync(fd) != 0) failure = SystemError("cannot write", errno);
  if (::close(fd) != 0 && failure.empty()) failure = SystemError("cannot write", errno);
  if (failure.empty() && ::rename(temp.c_str(), target.c_str()) != 0) {
    failure = SystemError("cannot replace it", errno);
  }
  if (!failure.empty()) ::unlink(temp.c_str());
  return failure;
}

// A symbolic link stays a link: the file it points at is the one replaced.
std::string ResolvedTarget(const std::string& path) {
  struct stat link {};
  char resolved[PATH_MAX];
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
      ::realpath(path.c_str(), resolved) != nullptr) {
    return resolved;
  }
  return path;
}

}  // namespace

IniProfile::IniProfile(std::string path) : path_(std::move(path)), file_(g_key_file_new()) {}

IniProfile::~IniProfile() {
  g_key_file_free(file_);
}

bool IniProfile::Load(std::string& error) {
  std::lock_guard<std::mutex> guard(mutex_);
  loaded_ = false;
  std::string bytes;
  bool found = false;
  if (error = ReadProfileFile(path_, path_, bytes, found); !error.empty()) return false;
  if (!found) {
    loaded_ = true;
    return true;
  }
  const char* invalid = nullptr;
  if (!g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), &invalid)) {
    error = AtLine(path_, LineAtOffset(bytes, static_cast<std::size_t>(invalid - bytes.data())),
                   "not UTF-8 text");
    return false;
  }
  if (const std::size_t marker = FindCommentMarker(bytes); marker != std::string::npos) {
    error = AtLine(path_, LineAtOffset(bytes, marker), "holds a control character (0x1F)");
    return false;
  }
  KeyFileText parsed = ToKeyFileText(bytes);
  text_ = std::move(parsed.text);
  byteOrderMark_ = parsed.byteOrderMark;
  GError* parse = nullptr;
  if (!Parses(text_, &parse)) {
    error = AtLine(path_, FirstBadLine(text_), parse->message);
    g_clear_error(&parse);
    return false;
  }
  g_key_file_load_from_data(file_, text_.data(), text_.size(), kKeep, nullptr);
  IndexNames();
  loaded_ = existed_ = true;
  return true;
}

void IniProfile::IndexNames() {
  groups_.clear();
  keys_.clear();
  gchar** groups = g_key_file_get_groups(file_, nullptr);
  for (gchar** group = groups; group != nullptr && *group != nullptr; ++group) {
    groups_.emplace(FoldedIniName(*group), *group);  // the first spelling wins
    auto& keys = keys_[*group];
    gchar** names = g_key_file_get_keys(file_, *group, nullptr, nullptr);
    for (gchar** key = names; key != nullptr && *key != nullptr; ++key) {
      keys.emplace(FoldedIniName(*key), *key);
    }
    g_strfreev(names);
  }
  g_strfreev(groups);
}

std::string IniProfile::StoredGroup(const std::string& section) const {
  if (g_key_file_has_group(file_, section.c_str())) return section;
  const auto found = groups_.find(FoldedIniName(section));
  return found != groups_.end() ? found->second : section;
}

std::string IniProfile::StoredKey(const std::string& group, const std::string& key) const {
  if (g_key_file_has_key(file_, group.c_str(), key.c_str(), nullptr)) return key;
  const auto keys = keys_.find(group);
  if (keys == keys_.end()) return key;
  const auto found = keys->second.find(FoldedIniName(key));
  return found != keys->second.end() ? found->second : key;
}

void IniProfile::Read(ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::wstring wideSection = request.section ? request.section : L"";
  const std::wstring wideKey = request.key ? request.key : L"";
  const std::string section = StoredGroup(WideToUtf8(wideSection));
  const std::string key = StoredKey(section, WideToUtf8(wideKey));
  bool present = g_key_file_has_key(file_, section.c_str(), key.c_str(), nullptr);
  if (present) {
    gchar* raw = g_key_file_get_value(file_, section.c_str(), key.c_str(), nullptr);
    if (raw != nullptr && IsQuoted(raw)) {
      // Read as they are, the quotes would become part of a folder's name.
      if (problem_.empty()) {
        const std::string bare(raw + 1, std::strlen(raw) - 2);
        problem_ = AtLine(path_, LineOfKey(text_, section, key),
                          "the value of " + key + " is in quotes; profile values are taken " +
                              "as they are: write " + key + "=" + bare);
      }
      present = false;
    }
    g_free(raw);
  }
  if (request.kind == kProfileInt) {
    int32_t value = static_cast<int32_t>(request.defaultValue);
    if (present) {
      GError* error = nullptr;
      const gint read = g_key_file_get_integer(file_, section.c_str(), key.c_str(), &error);
      if (error == nullptr) {
        value = read;
      } else if (problem_.empty()) {
        problem_ = AtLine(path_, LineOfKey(text_, section, key),
                          "the value of " + key + " is not a whole number");
      }
      g_clear_error(&error);
    }
    if (std::string bounded = BoundFeedCount(path_, wideSection, wideKey, value);
        !bounded.empty() && notice_.empty()) {
      notice_ = std::move(bounded);
    }
    request.value = static_cast<intptr_t>(static_cast<uint32_t>(value));
    return;
  }
  if (present) {
    gchar* text = g_key_file_get_string(file_, section.c_str(), key.c_str(), nullptr);
    if (text == nullptr && problem_.empty()) {
      problem_ = AtLine(path_, LineOfKey(text_, section, key),
                        "the value of " + key + " cannot be read as text");
    }
    lastText_ = Utf8ToWide(text ? text : "");
    g_free(text);
  } else {
    const auto* def = reinterpret_cast<const wchar_t*>(request.defaultValue);
    lastText_ = def ? def : L"";
  }
  AnswerString(request, lastText_);
}

void IniProfile::Set(const std::string& wantedSection, const std::string& wantedKey,
                     const std::string& value) {
  const std::string section = StoredGroup(wantedSection);
  const std::string key = StoredKey(section, wantedKey);
  gchar* old = g_key_file_get_value(file_, section.c_str(), key.c_str(), nullptr);
  // Stored as the key file stores strings (escapes included), then compared as stored.
  g_key_file_set_string(file_, section.c_str(), key.c_str(), value.c_str());
  gchar* now = g_key_file_get_value(file_, section.c_str(), key.c_str(), nullptr);
  if (old == nullptr || std::strcmp(old, now) != 0) changed_ = true;
  g_free(old);
  g_free(now);
  groups_.emplace(FoldedIniName(section), section);
  keys_[section].emplace(FoldedIniName(key), key);
}

bool IniProfile::Save(std::string& error) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!loaded_) {
    error = AtLine(path_, 0, "not saved: the profile was not read");
    return false;
  }
  if (!changed_) return true;
  const std::string target = ResolvedTarget(path_);
  struct stat info {};
  // Root may write anything: a file with no write permission at all was made read-only
  // on purpose, and replacing it through its folder would undo that.
  if (::stat(target.c_str(), &info) == 0 &&
      ((info.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
    error = AtLine(path_, 0, "the file is read-only; not changed");
    return false;
  }
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(target).parent_path();
  if (!parent.empty() && !std::filesystem::create_directories(parent, ec) && ec) {
    error = AtLine(path_, 0, "cannot create its folder " + parent.string() + ": " + ec.message());
    return false;
  }
  gsize length = 0;
  gchar* data = g_key_file_to_data(file_, &length, nullptr);
  const std::string failure = ReplaceFile(
      target, FromKeyFileText(std::string_view(data ? data : "", length), byteOrderMark_));
  g_free(data);
  if (!failure.empty()) {
    error = AtLine(path_, 0, failure);
    return false;
  }
  changed_ = false;
  return true;
}

std::string IniProfile::problem() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return problem_;
}

std::string IniProfile::notice() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return notice_;
}

std::string DefaultProfilePath() {
  if (const char* set = std::getenv("ORVELLA_HOST_PROFILE"); set && *set) return set;
  std::filesystem::path base = UserConfigHome();
  if (base.empty()) base = ".";
  return (base / "orvella-host" / "profile.ini").string();
}

}  // namespace orvella::host
