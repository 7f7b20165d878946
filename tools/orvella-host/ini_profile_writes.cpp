// The profile's writes, the same on both platforms: each platform's Set keeps them until Save.
#include <cstdint>
#include <string>

#include "base/text_utf8.h"
#include "tools/orvella-host/ini_profile.h"
#include "tools/orvella-host/profile_answer.h"

namespace orvella::host {

void IniProfile::Write(const ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::string section = WideToUtf8(request.section ? request.section : L"");
  const std::string key = WideToUtf8(request.key ? request.key : L"");
  if (request.kind == kProfileInt) {
    Set(section, key, std::to_string(static_cast<int32_t>(static_cast<uint32_t>(request.value))));
  } else {
    const auto* text = reinterpret_cast<const wchar_t*>(request.value);
    Set(section, key, WideToUtf8(text ? text : L""));
  }
}

void IniProfile::SetInt(const std::string& section, const std::string& key, int value) {
  std::lock_guard<std::mutex> guard(mutex_);
  Set(section, key, std::to_string(value));
}

void IniProfile::SetString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::lock_guard<std::mutex> guard(mutex_);
  Set(section, key, value);
}

}  // namespace orvella::host
