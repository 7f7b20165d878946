// A full disk in the C library's words.
#include "tools/orvella-host/disk_full.h"

#include <cerrno>
#include <cstring>

#include "base/text_utf8.h"

namespace orvella::host {

std::vector<std::wstring> DiskFullReasons() {
  return {Utf8ToWide(std::strerror(ENOSPC)), Utf8ToWide(std::strerror(EDQUOT))};
}

}  // namespace orvella::host
