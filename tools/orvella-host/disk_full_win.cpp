// A full disk in the Windows API's words.
#include "tools/orvella-host/disk_full.h"

#include <windows.h>

#include "tools/orvella-host/system_message.h"

namespace orvella::host {

std::vector<std::wstring> DiskFullReasons() {
  std::vector<std::wstring> reasons;
  for (const DWORD code : {DWORD{ERROR_DISK_FULL}, DWORD{ERROR_HANDLE_DISK_FULL}}) {
    std::wstring text = SystemMessage(code);
    while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
    if (!text.empty()) reasons.push_back(std::move(text));
  }
  return reasons;
}

}  // namespace orvella::host
