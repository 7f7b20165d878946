// How the system words a full disk, to find it in the plug-in's diagnostic lines.
#pragma once

#include <string>
#include <vector>

namespace orvella::host {

/// Returns the system's texts for a full disk and an exhausted quota, as they appear in
/// messages that carry the system's reason. Any thread.
std::vector<std::wstring> DiskFullReasons();

}  // namespace orvella::host
