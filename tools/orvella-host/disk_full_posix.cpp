// A full disk in the C library's words.
#include "tools/orvella-host/disk_full.h"

#include <cerrno>

#include "base/error_text.h"

namespace orvella::host {

std::vector<std::wstring> DiskFullReasons() {
  return {SystemErrorText(ENOSPC), SystemErrorText(EDQUOT)};
}

}  // namespace orvella::host
