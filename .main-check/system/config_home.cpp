// The XDG configuration folder.
#include "system/config_home.h"

#include <cstdlib>

namespace orvella {

std::filesystem::path UserConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::filesystem::path(home) / ".config";
  return {};
}

}  // namespace orvella
