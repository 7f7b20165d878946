// Wide path text as the dialogs handle it, and the file-system tests they make on it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvella {

/// Longest path a dialog keeps, terminating zero included.
inline constexpr std::size_t kMaxPathChars = 260;

/// The platform's path separator ('/' here, '\' on Windows).
inline constexpr wchar_t kPathSeparator =
    static_cast<wchar_t>(std::filesystem::path::preferred_separator);

/// Returns the file-system path named by wide `text` (UTF-8 on the way to the system
/// where paths are bytes). Any thread.
std::filesystem::path ToFsPath(std::wstring_view text);
/// Returns the wide text of `path`. Any thread.
std::wstring FromFsPath(const std::filesystem::path& path);

/// Returns whether anything (folder, file, device) of that name exists: the dialogs'
/// existence test. Empty text and errors answer false. Any thread.
bool PathExists(std::wstring_view text);

}  // namespace orvella
