#include "ui/path_text.h"

#include <system_error>

#include "host/text_utf8.h"

namespace orvella {

std::filesystem::path ToFsPath(std::wstring_view text) {
  const std::string bytes = WideToUtf8(text);
  return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
}

std::wstring FromFsPath(const std::filesystem::path& path) {
  const std::u8string bytes = path.u8string();
  return Utf8ToWide(std::string(bytes.begin(), bytes.end()));
}

bool PathExists(std::wstring_view text) {
  if (text.empty()) return false;
  std::error_code error;
  return std::filesystem::exists(ToFsPath(text), error);
}

}  // namespace orvella
