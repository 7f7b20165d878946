// Path text: joining, extensions and the conversion to file-system paths.
#include "base/path_text.h"

#include <system_error>

#include "base/text_utf8.h"

namespace orvella {

void AddBackslash(std::wstring& path) {
  if (!path.empty() && path.back() != kPathSeparator) path.push_back(kPathSeparator);
}

void ChangeExtension(std::wstring& path, std::wstring_view extension) {
  const std::size_t dot = path.rfind(L'.');
  if (dot != std::wstring::npos) path.erase(dot);
  path.push_back(L'.');
  path.append(extension);
}

std::wstring JoinFolder(std::wstring folder, std::wstring_view name) {
  AddBackslash(folder);
  folder.append(name);
  return folder;
}

std::filesystem::path FsPath(std::wstring_view text) {
  if constexpr (sizeof(wchar_t) == 2) {
    return std::filesystem::path(text);
  } else {
    const std::string bytes = WideToUtf8(text);
    return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
  }
}

std::wstring FromFsPath(const std::filesystem::path& path) {
  const std::u8string bytes = path.u8string();
  return Utf8ToWide(std::string(bytes.begin(), bytes.end()));
}

bool PathExists(std::wstring_view text) {
  if (text.empty()) return false;
  std::error_code error;
  return std::filesystem::exists(FsPath(text), error);
}

}  // namespace orvella
