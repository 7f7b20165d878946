// Profile requests made in orvella-host's own process, answered by its INI profile.
#include "tools/orvella-host/ini_host_profile.h"

#include <cwchar>

namespace orvella::host {

int32_t IniHostProfile::ReadHostInt(const wchar_t* section, const wchar_t* key,
                                    int32_t defaultValue) {
  ProfileRequest request{};
  request.section = section;
  request.key = key;
  request.kind = kProfileInt;
  request.defaultValue = defaultValue;
  profile_.Read(request);
  return static_cast<int32_t>(static_cast<uint32_t>(request.value));
}

std::wstring IniHostProfile::ReadHostString(const wchar_t* section, const wchar_t* key,
                                            const wchar_t* defaultValue) {
  wchar_t buffer[1024] = {};
  ProfileRequest request{};
  request.section = section;
  request.key = key;
  request.kind = kProfileString;
  request.value = reinterpret_cast<intptr_t>(buffer);
  request.defaultValue = reinterpret_cast<intptr_t>(defaultValue);
  request.capacity = 1023;
  profile_.Read(request);
  return std::wstring(buffer, wcsnlen(buffer, 1023));
}

void IniHostProfile::WriteHostInt(const wchar_t* section, const wchar_t* key, int32_t value) {
  ProfileRequest request{};
  request.section = section;
  request.key = key;
  request.kind = kProfileInt;
  request.value = static_cast<intptr_t>(static_cast<uint32_t>(value));
  profile_.Write(request);
}

void IniHostProfile::WriteHostString(const wchar_t* section, const wchar_t* key,
                                     const std::wstring& value) {
  ProfileRequest request{};
  request.section = section;
  request.key = key;
  request.kind = kProfileString;
  request.value = reinterpret_cast<intptr_t>(value.c_str());
  profile_.Write(request);
}

}  // namespace orvella::host
