// Query string parsing as the art service does it.
#include "tools/orvella-artd/art_query.h"

#include <cerrno>
#include <cstdlib>

namespace orvella::artd {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

QueryParams QueryParams::FromTarget(const std::string& target) {
  QueryParams params;
  const std::size_t question = target.find('?');
  if (question == std::string::npos) return params;
  std::string query = target.substr(question + 1);
  query = query.substr(0, query.find('#'));
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      const std::size_t equals = pair.find('=');
      const std::string name = PercentDecode(pair.substr(0, equals));
      const std::string value =
          equals == std::string::npos ? "" : PercentDecode(pair.substr(equals + 1));
      params.values_.emplace(name, value);
    }
    start = end + 1;
  }
  return params;
}

std::optional<std::string> QueryParams::Get(const std::string& name) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::optional<long long> QueryParams::GetInt(const std::string& name) const {
  const std::optional<std::string> text = Get(name);
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace orvella::artd
