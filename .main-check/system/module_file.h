// The plug-in module's own file, and what the dialogs derive from it.
#pragma once

#include <string>

namespace orvella {

/// Returns the full path of the file this code was loaded from (the plug-in module, or
/// the program when the code is linked into one); "" when the platform cannot tell.
/// Defined once per platform. Any thread.
std::wstring ModuleFilePath();

/// Name of the help file that lives beside the module.
inline constexpr wchar_t kHelpFileName[] = L"Orvella.chm";

/// Returns the module's file name without its extension ("Orvella" for "Orvella.rpl"):
/// the caption of every message box. Any thread.
std::wstring ApplicationTitle();
/// Same, from a given module path. An empty path gives "Orvella".
std::wstring ApplicationTitleOf(const std::wstring& modulePath);

/// Returns the help file's path: everything of the module path up to and including its
/// last separator, followed by "Orvella.chm". Any thread.
std::wstring HelpFilePath();
/// Same, from a given module path.
std::wstring HelpFilePathOf(const std::wstring& modulePath);

}  // namespace orvella
