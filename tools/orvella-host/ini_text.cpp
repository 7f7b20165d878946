// Line numbers in an INI file's text.
#include "tools/orvella-host/ini_text.h"

#include <algorithm>

namespace orvella::host {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

int LineAtOffset(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

std::size_t EndOfLine(std::string_view text, int line) {
  std::size_t pos = 0;
  for (int n = 0; n < line; ++n) {
    const std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) return text.size();
    pos = end + 1;
  }
  return pos;
}

int LineOfKey(std::string_view text, const std::string& group, const std::string& key) {
  std::string_view current;
  int number = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++number;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (current == group && equals != std::string_view::npos &&
        Trim(line.substr(0, equals)) == key) {
      return number;
    }
  }
  return 0;
}

std::string AtLine(const std::string& path, int line, const std::string& reason) {
  std::string text = path;
  if (line > 0) text.append(":").append(std::to_string(line));
  return text.append(": ").append(reason);
}

bool NamesLine(const std::string& message, const std::string& path) {
  return message.size() > path.size() + 1 && message.starts_with(path) &&
         message[path.size()] == ':' && message[path.size() + 1] >= '0' &&
         message[path.size() + 1] <= '9';
}

}  // namespace orvella::host
