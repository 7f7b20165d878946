// The per-user key-value store that keeps the account (the registry on Windows).
#pragma once

#include <string>

namespace orvella {

/// Root of a key path; the plug-in only uses the current user's.
enum class RegRoot { kCurrentUser };

/// Key path of the account values.
inline constexpr wchar_t kAccountKeyPath[] = L"Software\\Halvenworks\\OrvellaPlugin";

/// Longest text a value may hold: what fits a 1024-byte read buffer as UTF-16 with its
/// terminator. A longer stored value reads as empty.
inline constexpr std::size_t kRegValueMaxChars = 511;

/// Returns the text stored under keyPath\valueName, or an empty string when the key or
/// the value cannot be read or the value is too long. Never throws. Any thread.
std::wstring ReadRegString(RegRoot root, const std::wstring& keyPath,
                           const std::wstring& valueName);

/// Stores `text` under keyPath\valueName, creating the key when needed. Returns true
/// when the value was written completely; else false, with `reason` (when given) set to
/// what failed and the system's text for it ("cannot create the folder ...: Not a
/// directory", "... Access is denied."). The stored value is then the one before. Never
/// throws. Any thread.
bool WriteRegString(RegRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                    const std::wstring& text, std::wstring* reason = nullptr);

}  // namespace orvella
