// Path text: the separator, joining and extensions, and the bridge between wide path text
// and the file system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvella {

/// The folder separator AddBackslash appends: '\' on Windows, '/' elsewhere.
inline constexpr wchar_t kPathSeparator =
    static_cast<wchar_t>(std::filesystem::path::preferred_separator);

/// Longest path a dialog keeps, terminating zero included.
inline constexpr std::size_t kMaxPathChars = 260;

/// Appends the separator to a non-empty path that does not end with one; an empty
/// path stays empty. Any thread.
void AddBackslash(std::wstring& path);

/// Replaces the text from the last '.' of the whole path (folder part included) with
/// '.' and `extension`; appends them when the path has no '.'. Any thread.
void ChangeExtension(std::wstring& path, std::wstring_view extension);

/// Returns folder, the separator unless the folder is empty or ends with one, and name.
std::wstring JoinFolder(std::wstring folder, std::wstring_view name);

/// Returns the file-system path for wide path text (UTF-8 on the way to a system whose
/// paths are bytes, native on Windows). Any thread.
std::filesystem::path FsPath(std::wstring_view text);
/// Returns the wide text of `path`. Any thread.
std::wstring FromFsPath(const std::filesystem::path& path);

/// Returns whether anything (folder, file, device) of that name exists: the dialogs'
/// existence test. Empty text and errors answer false. Any thread.
bool PathExists(std::wstring_view text);

}  // namespace orvella
