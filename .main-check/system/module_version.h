// The module's own version, as the platform keeps it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvella {

/// The fixed version record: 13 words, in the platform's order.
struct FixedFileInfo {
  uint32_t dwSignature = 0;
  uint32_t dwStrucVersion = 0;
  uint32_t dwFileVersionMS = 0;
  uint32_t dwFileVersionLS = 0;
  uint32_t dwProductVersionMS = 0;
  uint32_t dwProductVersionLS = 0;
  uint32_t dwFileFlagsMask = 0;
  uint32_t dwFileFlags = 0;
  uint32_t dwFileOS = 0;
  uint32_t dwFileType = 0;
  uint32_t dwFileSubtype = 0;
  uint32_t dwFileDateMS = 0;
  uint32_t dwFileDateLS = 0;
};
static_assert(sizeof(FixedFileInfo) == 52);

inline constexpr uint32_t kVersionSignature = 0xFEEF04BD;

/// Reader of the plug-in module's version.
class CModuleVersion : public FixedFileInfo {
 public:
  virtual ~CModuleVersion() = default;
  /// Fills the fixed words from the module's version; returns true when a valid version
  /// (signature 0xFEEF04BD) was read. Defined once per platform. Any thread.
  bool ReadModuleVersion();

  std::unique_ptr<unsigned char[]> versionData;  // the platform's raw version block, if any
};

/// Returns "Orvella v%d.%d.%d" from the product version when `valid`, else
/// "Orvella Unknown version". Any thread.
std::wstring VersionReportText(const FixedFileInfo& info, bool valid);

}  // namespace orvella
