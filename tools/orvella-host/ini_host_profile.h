// The host profile as the plug-in's configuration store reads and writes it, over
// orvella-host's INI file: the set commands read and write the feeds with the plug-in's
// own code, not with a second implementation of its rules.
#pragma once

#include "base/profile_requests.h"
#include "host/host_profile.h"
#include "tools/orvella-host/ini_profile.h"

namespace orvella::host {

class IniHostProfile final : public CHostProfile {
 public:
  /// Reads and writes `profile`, which outlives this object.
  explicit IniHostProfile(IniProfile& profile) : profile_(profile) {}

  /// The requests the plug-in would send through the callback, answered by the profile
  /// (writes wait for its Save()). Host's thread.
  int32_t ReadHostInt(const wchar_t* section, const wchar_t* key, int32_t defaultValue) override;
  std::wstring ReadHostString(const wchar_t* section, const wchar_t* key,
                              const wchar_t* defaultValue) override;
  void WriteHostInt(const wchar_t* section, const wchar_t* key, int32_t value) override;
  void WriteHostString(const wchar_t* section, const wchar_t* key,
                       const std::wstring& value) override;

 private:
  /// The requests answered by the profile.
  ProfileSender ToProfile();

  IniProfile& profile_;
};

}  // namespace orvella::host
