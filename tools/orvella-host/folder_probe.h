// Whether a file can be written in a folder, tried so that a kill at any moment leaves
// nothing in it.
#pragma once

#include <filesystem>
#include <string>

namespace orvella::host {

/// Creates a file in the existing folder `folder` that no name in it outlives: on Linux
/// a file without a name, on Windows one the system deletes when its last handle closes,
/// which a killed process's handles do too. Writes one byte to it, so a full disk shows.
/// Returns "" when that worked, else the system's reason. Where the file system cannot
/// make such a file, only the folder's write permission is asked. Any thread.
std::string WriteProbeProblem(const std::filesystem::path& folder);

}  // namespace orvella::host
