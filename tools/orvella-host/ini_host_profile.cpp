// Profile requests made in orvella-host's own process, answered by its INI profile.
#include "tools/orvella-host/ini_host_profile.h"

namespace orvella::host {

ProfileSender IniHostProfile::ToProfile() {
  return [this](HostOp op, ProfileRequest& request) {
    if (op == kHostOpProfileRead) {
      profile_.Read(request);
    } else {
      profile_.Write(request);
    }
  };
}

int32_t IniHostProfile::ReadHostInt(const wchar_t* section, const wchar_t* key,
                                    int32_t defaultValue) {
  return ReadProfileInt(ToProfile(), section, key, defaultValue);
}

std::wstring IniHostProfile::ReadHostString(const wchar_t* section, const wchar_t* key,
                                            const wchar_t* defaultValue) {
  return ReadProfileString(ToProfile(), section, key, defaultValue);
}

void IniHostProfile::WriteHostInt(const wchar_t* section, const wchar_t* key, int32_t value) {
  WriteProfileInt(ToProfile(), section, key, value);
}

void IniHostProfile::WriteHostString(const wchar_t* section, const wchar_t* key,
                                     const std::wstring& value) {
  WriteProfileString(ToProfile(), section, key, value);
}

}  // namespace orvella::host
