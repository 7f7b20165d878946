// ';' comments and the byte order mark carried through the key file parser.
#include "tools/orvella-host/ini_dialect.h"

namespace orvella::host {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Put before a ';' comment: a '#' makes it a comment to the parser, the marker byte (a
// control character no profile holds) tells a save to take both off again.
constexpr char kMarker = '\x1F';
constexpr std::string_view kMarkedComment = "#\x1F";

bool StartsSemicolonComment(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && line[first] == ';';
}

// Calls `each` with every line of `text`, its '\n' included.
template <class Each>
void ForEachLine(std::string_view text, Each each) {
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    end = end == std::string_view::npos ? text.size() : end + 1;
    each(text.substr(pos, end - pos));
    pos = end;
  }
}

char Folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

KeyFileText ToKeyFileText(std::string_view bytes) {
  KeyFileText result;
  if (bytes.starts_with(kByteOrderMark)) {
    bytes.remove_prefix(kByteOrderMark.size());
    result.byteOrderMark = true;
  }
  result.text.reserve(bytes.size());
  ForEachLine(bytes, [&result](std::string_view line) {
    if (StartsSemicolonComment(line)) result.text += kMarkedComment;
    result.text += line;
  });
  return result;
}

std::string FromKeyFileText(std::string_view text, bool byteOrderMark) {
  std::string bytes = byteOrderMark ? std::string(kByteOrderMark) : std::string();
  bytes.reserve(bytes.size() + text.size());
  ForEachLine(text, [&bytes](std::string_view line) {
    if (line.starts_with(kMarkedComment)) line.remove_prefix(kMarkedComment.size());
    bytes += line;
  });
  return bytes;
}

std::size_t FindCommentMarker(std::string_view bytes) {
  return bytes.find(kMarker);
}

bool SameIniName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

std::string FoldedIniName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = Folded(c);
  return folded;
}

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

}  // namespace orvella::host
