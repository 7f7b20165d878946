// Paths of the image folder: joining, extensions, and which file names are safe to use.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvella {

/// The folder separator AddBackslash appends: '\' on Windows, '/' elsewhere.
inline constexpr wchar_t kPathSeparator =
    static_cast<wchar_t>(std::filesystem::path::preferred_separator);

/// Name of the list file in the image folder, and of the file it is written to first.
inline constexpr wchar_t kListFileName[] = L"rvt_orv_files.lst";
inline constexpr wchar_t kListTempFileName[] = L"rvt_orv_files.lst.tmp";

/// Appends the separator to a non-empty path that does not end with one; an empty
/// path stays empty. Any thread.
void AddBackslash(std::wstring& path);

/// Replaces the text from the last '.' of the whole path (folder part included) with
/// '.' and `extension`; appends them when the path has no '.'. Any thread.
void ChangeExtension(std::wstring& path, std::wstring_view extension);

/// Returns folder, the separator unless the folder is empty or ends with one, and name.
std::wstring JoinFolder(std::wstring folder, std::wstring_view name);

/// Which platform's rules decide whether a bare file name may be used.
enum class NameRules { kPosix, kWindows };
inline constexpr NameRules kPlatformNameRules =
    kPathSeparator == L'\\' ? NameRules::kWindows : NameRules::kPosix;

/// Returns true when `name` is a plain file name inside the image folder that is not one
/// of the plug-in's own files: false for "", "." and "..", names holding '/', '\', ':'
/// or control characters, the list file and its temporary file; under Windows rules also
/// the device names (CON, PRN, AUX, NUL, COM0-9, LPT0-9, with any extension) and names
/// ending in '.' or ' '. Any thread.
bool IsUsableLocalName(std::wstring_view name, NameRules rules = kPlatformNameRules);

/// The file-system path for a wide path (UTF-8 on POSIX, native on Windows). Any thread.
std::filesystem::path FsPath(const std::wstring& path);

}  // namespace orvella
