// The system's own text for an error number: errno on POSIX, a Win32 error code (as
// GetLastError or the registry functions give it) on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

/// Returns the system's message for `code`, without a trailing line end ("No space left
/// on device", "Access is denied."); "error N" when the system has none. On Windows,
/// `messages` is a loaded DLL (its module handle) whose own messages are looked in first
/// (WinINet's errors are in its own table, not in the system's); elsewhere it is not used.
/// Never throws but for memory. Any thread.
std::wstring SystemErrorText(int32_t code, const void* messages = nullptr);

/// Returns SystemErrorText(code) without its closing full stop, for the end of a sentence
/// of ours ("cannot create ...: Access is denied"). Never throws but for memory. Any
/// thread.
std::wstring SystemErrorPhrase(int32_t code);

}  // namespace orvella
