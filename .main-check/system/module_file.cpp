// The caption and help file path derived from the module's file.
#include "system/module_file.h"

#include "base/path_text.h"

namespace orvella {
namespace {

// Separators the module path may use: the platform's, and '/' on every platform.
std::size_t LastSeparator(const std::wstring& path) {
  return path.find_last_of(kPathSeparator == L'/' ? std::wstring(L"/") : std::wstring(L"\\/"));
}

}  // namespace

std::wstring ApplicationTitleOf(const std::wstring& modulePath) {
  const std::size_t slash = LastSeparator(modulePath);
  std::wstring name = slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  // Without a module name the captions still say whose message it is.
  return name.empty() ? std::wstring(L"Orvella") : name;
}

std::wstring ApplicationTitle() {
  return ApplicationTitleOf(ModuleFilePath());
}

std::wstring HelpFilePathOf(const std::wstring& modulePath) {
  const std::size_t slash = LastSeparator(modulePath);
  const std::wstring folder = slash == std::wstring::npos ? L"" : modulePath.substr(0, slash + 1);
  return folder + kHelpFileName;
}

std::wstring HelpFilePath() {
  return HelpFilePathOf(ModuleFilePath());
}

}  // namespace orvella
