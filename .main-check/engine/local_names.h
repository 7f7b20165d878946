// The plug-in's own file names in the image folder, and which names it may use for images.
#pragma once

#include <string_view>

#include "base/path_text.h"

namespace orvella {

/// Name of the list file in the image folder, and of the file it is written to first.
inline constexpr wchar_t kListFileName[] = L"rvt_orv_files.lst";
inline constexpr wchar_t kListTempFileName[] = L"rvt_orv_files.lst.tmp";

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

}  // namespace orvella
