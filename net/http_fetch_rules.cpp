// Which schemes are fetched and which statuses are read on.
#include "net/http_fetch_rules.h"

#include <string_view>

#include "net/http_fetch.h"

namespace orvella {
namespace {

// True when `text` begins with `prefix`, which is in lower case, in any letter case.
template <typename Char>
bool StartsWithNoCase(std::basic_string_view<Char> text, std::basic_string_view<Char> prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    Char c = text[i];
    if (c >= Char('A') && c <= Char('Z')) c = static_cast<Char>(c - Char('A') + Char('a'));
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

bool IsHttpUrl(const std::wstring& url) {
  const std::wstring_view text(url);
  return StartsWithNoCase(text, std::wstring_view(L"http:")) ||
         StartsWithNoCase(text, std::wstring_view(L"https:"));
}

bool IsAcceptedStatus(long status) {
  return status == 200 || status == 301 || status == 302;
}

std::optional<std::string_view> HeaderLineValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
  if (!StartsWithNoCase(line, name)) return std::nullopt;
  return line.substr(name.size() + 1);
}

std::string ReplyHeaderText(std::string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  // Cut short, a longer value could read as another one: it is dropped.
  return value.size() > kMaxRetryAfterText ? std::string() : std::string(value);
}

}  // namespace orvella
