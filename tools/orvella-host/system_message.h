// The system's own text for an error code of the Windows API.
#pragma once

#include <string>

namespace orvella::host {

/// Returns the system's message for the Windows error `code`, without its line end, or ""
/// when the system has none. Any thread.
std::wstring SystemMessage(unsigned long code);

}  // namespace orvella::host
