// The system's own text for an error number: errno on POSIX, a Win32 error code (as
// GetLastError or the registry functions give it) on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

/// Returns the system's message for `code`, without a trailing line end ("No space left
/// on device", "Access is denied."); "error N" when the system has none. On Windows,
/// `library` names a loaded DLL whose own messages are looked in first (WinINet's errors
/// are in "wininet.dll", not in the system's table); elsewhere it is not used. Never
/// throws but for memory. Any thread.
std::wstring SystemErrorText(int32_t code, const wchar_t* library = nullptr);

/// On Windows, records `module`, a DLL kept loaded for good, as the one named `library`:
/// SystemErrorText then finds its messages without asking the loader, whose lock a module
/// unload holds while it waits for the worker. Elsewhere it does nothing. Any thread.
void RememberMessageModule(const wchar_t* library, void* module);

}  // namespace orvella
