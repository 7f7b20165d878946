// Reading and writing whole buffers through POSIX descriptors, shared by the safe file
// operations and the folder handle.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "system/safe_files.h"

namespace orvella {

/// Writes all of `data` to `fd`, again after interruptions. False when any of it could
/// not be written. Any thread.
bool WriteAllTo(int fd, std::string_view data);

/// Reads `fd` (a regular file of `size` bytes by its status) to its end into `bytes`;
/// kTooLarge (nothing kept) when the size or what is read passes `maxBytes`, kMissing
/// when a read fails. Closes nothing. Any thread.
ReadOutcome ReadAllFrom(int fd, off_t size, std::string& bytes, std::size_t maxBytes);

}  // namespace orvella
