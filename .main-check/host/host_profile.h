// The host's profile as the configuration store reads and writes it.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

/// Profile section of every setting the plug-in keeps in the host's profile.
inline constexpr wchar_t kProfileSection[] = L"OrvellaPlugIn";

/// Host flavour code of the Kavex host; every other value means Rovanta.
inline constexpr int32_t kHostFlavourKavex = 1;

class CHostProfile {
 public:
  virtual ~CHostProfile() = default;
  /// Returns the integer under section/key, or `defaultValue` when the host has none.
  /// Host's thread.
  virtual int32_t ReadHostInt(const wchar_t* section, const wchar_t* key, int32_t defaultValue) = 0;
  /// Returns the text under section/key (at most 1023 characters), or `defaultValue`.
  /// Host's thread.
  virtual std::wstring ReadHostString(const wchar_t* section, const wchar_t* key,
                                      const wchar_t* defaultValue) = 0;
  /// Writes an integer; the host reports no failure. Host's thread.
  virtual void WriteHostInt(const wchar_t* section, const wchar_t* key, int32_t value) = 0;
  /// Writes a text; the host reports no failure. Host's thread.
  virtual void WriteHostString(const wchar_t* section, const wchar_t* key,
                               const std::wstring& value) = 0;
};

}  // namespace orvella
