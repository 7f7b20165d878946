// The user's configuration folder where the desktop follows the XDG rules.
#pragma once

#include <filesystem>

namespace orvella {

/// Returns ${XDG_CONFIG_HOME} when it is an absolute path, else $HOME/.config, else an
/// empty path (no folder is known). Reads the environment at each call. Any thread.
std::filesystem::path UserConfigHome();

}  // namespace orvella
