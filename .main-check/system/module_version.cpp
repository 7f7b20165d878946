// The version text of message 2 from a version record.
#include "system/module_version.h"

#include "base/text_format.h"

namespace orvella {

std::wstring VersionReportText(const FixedFileInfo& info, bool valid) {
  if (!valid) return L"Orvella Unknown version";
  return Format(L"Orvella v%d.%d.%d", static_cast<int32_t>(info.dwProductVersionMS >> 16),
                static_cast<int32_t>(info.dwProductVersionMS & 0xFFFF),
                static_cast<int32_t>(info.dwProductVersionLS >> 16));
}

}  // namespace orvella
