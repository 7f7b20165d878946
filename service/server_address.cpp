// The service's base address: compiled in, or from the environment, and checked before any
// request goes there.
#include "service/server_address.h"

#include <cstdlib>
#include <string_view>

#include "base/text_utf8.h"
#include "base/write_log.h"

namespace orvella {
namespace {

wchar_t LowerAscii(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The length of the "http://" or "https://" that `text` begins with in any letter case,
// or 0.
std::size_t HttpSchemeLength(const std::wstring& text) {
  for (const std::wstring_view scheme :
       {std::wstring_view(L"http://"), std::wstring_view(L"https://")}) {
    if (text.size() < scheme.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < scheme.size() && same; ++i) same = LowerAscii(text[i]) == scheme[i];
    if (same) return scheme.size();
  }
  return 0;
}

bool HasBlankOrControl(const std::wstring& text) {
  for (const wchar_t c : text) {
    if (c <= L' ' || (c >= 0x7F && c <= 0x9F)) return true;
  }
  return false;
}

// True when what follows the scheme starts with a host (not a path, query or fragment).
bool NamesHost(const std::wstring& text, std::size_t schemeLength) {
  if (text.size() <= schemeLength) return false;
  const wchar_t first = text[schemeLength];
  return first != L'/' && first != L'?' && first != L'#';
}

}  // namespace

ServerAddress ReadServerAddress() {
  ServerAddress address;
  const char* fromEnvironment = std::getenv(kServerUrlVariable);
  address.fromEnvironment = fromEnvironment != nullptr && *fromEnvironment != '\0';
  address.base = address.fromEnvironment ? Utf8ToWide(fromEnvironment)
                                         : std::wstring(ORVELLA_DEFAULT_SERVER_URL);
  while (!address.base.empty() && address.base.back() == L'/') address.base.pop_back();
  const std::size_t scheme = HttpSchemeLength(address.base);
  address.usable =
      scheme != 0 && NamesHost(address.base, scheme) && !HasBlankOrControl(address.base);
  for (std::size_t i = 0; i < scheme; ++i) address.base[i] = LowerAscii(address.base[i]);
  return address;
}

std::wstring ServerBaseUrl() {
  return ReadServerAddress().base;
}

void LogAddressRefusal(const ServerAddress& address) {
  std::wstring shown = address.base;
  for (wchar_t& c : shown) {
    if (c < L' ' || (c >= 0x7F && c <= 0x9F)) c = L'?';
  }
  WriteLog(L"ServerBaseUrl: %s \"%s\" is not an http or https URL, no request sent",
           address.fromEnvironment ? L"ORVELLA_SERVER_URL" : L"the compiled-in address", shown);
}

}  // namespace orvella
