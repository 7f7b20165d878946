// Which schemes are fetched and which statuses are read on.
#include "net/http_fetch_rules.h"

#include <string_view>

namespace orvella {
namespace {

bool StartsWithNoCase(const std::wstring& text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsHttpUrl(const std::wstring& url) {
  return StartsWithNoCase(url, L"http:") || StartsWithNoCase(url, L"https:");
}

bool IsAcceptedStatus(long status) {
  return status == 200 || status == 301 || status == 302;
}

}  // namespace orvella
