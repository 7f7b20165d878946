// Reading the fixed part of a Windows version resource.
#pragma once

#include "system/module_version.h"

namespace orvella {

/// Copies the root block ("\") of the version data `block`, as GetFileVersionInfoW
/// returns it, into `info`. Returns true when the root block exists, is whole and
/// carries the signature 0xFEEF04BD; `info` is then filled (and left zero when the
/// block is absent or short). Any thread.
bool ReadFixedFileInfo(const void* block, FixedFileInfo& info);

}  // namespace orvella
