// A full disk in the Windows API's words.
#include "tools/orvella-host/disk_full.h"

#include <windows.h>

#include "base/error_text.h"

namespace orvella::host {

std::vector<std::wstring> DiskFullReasons() {
  std::vector<std::wstring> reasons;
  for (const DWORD code : {DWORD{ERROR_DISK_FULL}, DWORD{ERROR_HANDLE_DISK_FULL}}) {
    reasons.push_back(SystemErrorPhrase(static_cast<int32_t>(code)));
  }
  return reasons;
}

}  // namespace orvella::host
