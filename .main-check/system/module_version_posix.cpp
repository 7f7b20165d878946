// Off Windows there is no version resource: the build's project version is compiled in.
#include "system/module_version.h"

namespace orvella {

bool CModuleVersion::ReadModuleVersion() {
  static_cast<FixedFileInfo&>(*this) = FixedFileInfo{};
#if defined(ORVELLA_VERSION_MAJOR) && defined(ORVELLA_VERSION_MINOR) && \
    defined(ORVELLA_VERSION_PATCH) && defined(ORVELLA_VERSION_TWEAK)
  dwSignature = kVersionSignature;
  dwStrucVersion = 0x00010000;
  dwProductVersionMS = (uint32_t{ORVELLA_VERSION_MAJOR} << 16) | ORVELLA_VERSION_MINOR;
  dwProductVersionLS = (uint32_t{ORVELLA_VERSION_PATCH} << 16) | ORVELLA_VERSION_TWEAK;
  dwFileVersionMS = dwProductVersionMS;
  dwFileVersionLS = dwProductVersionLS;
  return dwSignature == kVersionSignature;
#else
  return false;
#endif
}

}  // namespace orvella
