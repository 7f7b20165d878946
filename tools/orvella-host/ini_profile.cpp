// The INI profile over GLib's key file.
#include "tools/orvella-host/ini_profile.h"

#include <glib.h>

#include <cstdlib>
#include <filesystem>

#include "base/text_utf8.h"
#include "system/config_home.h"
#include "tools/orvella-host/profile_answer.h"

namespace orvella::host {

IniProfile::IniProfile(std::string path) : path_(std::move(path)), file_(g_key_file_new()) {
  g_key_file_load_from_file(file_, path_.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
}

IniProfile::~IniProfile() {
  g_key_file_free(file_);
}

void IniProfile::Read(ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::string section = WideToUtf8(request.section ? request.section : L"");
  const std::string key = WideToUtf8(request.key ? request.key : L"");
  const bool present = g_key_file_has_key(file_, section.c_str(), key.c_str(), nullptr);
  if (request.kind == kProfileInt) {
    int32_t value = static_cast<int32_t>(request.defaultValue);
    if (present) {
      GError* error = nullptr;
      const gint read = g_key_file_get_integer(file_, section.c_str(), key.c_str(), &error);
      if (error == nullptr) value = read;
      g_clear_error(&error);
    }
    request.value = static_cast<intptr_t>(static_cast<uint32_t>(value));
    return;
  }
  if (present) {
    gchar* text = g_key_file_get_string(file_, section.c_str(), key.c_str(), nullptr);
    lastText_ = Utf8ToWide(text ? text : "");
    g_free(text);
  } else {
    const auto* def = reinterpret_cast<const wchar_t*>(request.defaultValue);
    lastText_ = def ? def : L"";
  }
  AnswerString(request, lastText_);
}

bool IniProfile::Write(const ProfileRequest& request) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    const std::string section = WideToUtf8(request.section ? request.section : L"");
    const std::string key = WideToUtf8(request.key ? request.key : L"");
    if (request.kind == kProfileInt) {
      g_key_file_set_integer(file_, section.c_str(), key.c_str(),
                             static_cast<int32_t>(static_cast<uint32_t>(request.value)));
    } else {
      const auto* text = reinterpret_cast<const wchar_t*>(request.value);
      g_key_file_set_string(file_, section.c_str(), key.c_str(),
                            WideToUtf8(text ? text : L"").c_str());
    }
  }
  return Save();
}

void IniProfile::SetInt(const std::string& section, const std::string& key, int value) {
  std::lock_guard<std::mutex> guard(mutex_);
  g_key_file_set_integer(file_, section.c_str(), key.c_str(), value);
}

void IniProfile::SetString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::lock_guard<std::mutex> guard(mutex_);
  g_key_file_set_string(file_, section.c_str(), key.c_str(), value.c_str());
}

bool IniProfile::Save() {
  std::lock_guard<std::mutex> guard(mutex_);
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  return g_key_file_save_to_file(file_, path_.c_str(), nullptr);  // replaces atomically
}

std::string DefaultProfilePath() {
  if (const char* set = std::getenv("ORVELLA_HOST_PROFILE"); set && *set) return set;
  std::filesystem::path base = UserConfigHome();
  if (base.empty()) base = ".";
  return (base / "orvella-host" / "profile.ini").string();
}

}  // namespace orvella::host
