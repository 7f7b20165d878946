// A URL put into canonical form and split into scheme, server, port and object.
#include "net/url_parse.h"

#include <vector>

#include "base/ansi_codepage.h"

namespace orvella {
namespace {

bool IsAsciiAlpha(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}
bool IsAsciiDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

bool SameScheme(std::wstring_view scheme, std::wstring_view lower) {
  if (scheme.size() != lower.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    const wchar_t c =
        (scheme[i] >= L'A' && scheme[i] <= L'Z') ? scheme[i] - L'A' + L'a' : scheme[i];
    if (c != lower[i]) return false;
  }
  return true;
}

// Length of a valid "scheme" before the first ':', or 0.
std::size_t SchemeLength(std::wstring_view url) {
  if (url.empty() || !IsAsciiAlpha(url[0])) return 0;
  std::size_t i = 1;
  while (i < url.size() && (IsAsciiAlpha(url[i]) || IsAsciiDigit(url[i]) || url[i] == L'+' ||
                            url[i] == L'-' || url[i] == L'.')) {
    ++i;
  }
  return i < url.size() && url[i] == L':' ? i : 0;
}

void AppendEscapedByte(std::wstring& out, unsigned char byte) {
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  out.push_back(L'%');
  out.push_back(kHex[byte >> 4]);
  out.push_back(kHex[byte & 0xF]);
}

// Escapes what may not appear raw before the query. Non-ASCII characters become the
// escapes of their ANSI code page bytes: the inverse of how the URL came in from JSON.
std::wstring EscapeUnsafe(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    if (c == L' ' || c < 0x20 || c == 0x7f) {
      AppendEscapedByte(out, static_cast<unsigned char>(c));
    } else if (static_cast<uint32_t>(c) >= 0x80) {
      for (const char byte : WideToAnsi(std::wstring(1, c))) {
        AppendEscapedByte(out, static_cast<unsigned char>(byte));
      }
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Resolves "." and ".." segments of an absolute path (empty or starting with '/').
std::wstring RemoveDotSegments(std::wstring_view path) {
  std::vector<std::wstring_view> kept;
  bool trailingSlash = false;
  std::size_t start = path.empty() ? 0 : 1;
  while (start <= path.size()) {
    const std::size_t slash = path.find(L'/', start);
    const std::size_t end = slash == std::wstring_view::npos ? path.size() : slash;
    const std::wstring_view segment = path.substr(start, end - start);
    const bool last = slash == std::wstring_view::npos;
    if (segment == L"..") {
      if (!kept.empty()) kept.pop_back();
      trailingSlash = last;
    } else if (segment == L".") {
      trailingSlash = last;
    } else {
      kept.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    start = end + 1;
  }
  std::wstring out;
  for (const std::wstring_view segment : kept) {
    out.push_back(L'/');
    out.append(segment);
  }
  if (trailingSlash || out.empty()) out.push_back(L'/');
  return out;
}

struct UrlParts {
  std::wstring scheme;
  std::wstring authority;
  std::wstring path;  // canonical
  std::wstring rest;  // from the first '?' or '#', as written
};

bool SplitCanonical(std::wstring_view url, UrlParts& parts) {
  const std::size_t restAt = url.find_first_of(L"?#");
  std::wstring head(url.substr(0, restAt));
  parts.rest =
      restAt == std::wstring_view::npos ? std::wstring() : std::wstring(url.substr(restAt));
  for (wchar_t& c : head) {
    if (c == L'\\') c = L'/';
  }
  const std::size_t schemeLength = SchemeLength(head);
  if (schemeLength == 0 || head.compare(schemeLength, 3, L"://") != 0) return false;
  parts.scheme = head.substr(0, schemeLength);
  const std::size_t authorityAt = schemeLength + 3;
  const std::size_t pathAt = std::min(head.find(L'/', authorityAt), head.size());
  parts.authority = EscapeUnsafe(std::wstring_view(head).substr(authorityAt, pathAt - authorityAt));
  parts.path = RemoveDotSegments(EscapeUnsafe(std::wstring_view(head).substr(pathAt)));
  return true;
}

uint32_t ServiceType(std::wstring_view scheme) {
  if (SameScheme(scheme, L"http")) return kServiceHttp;
  if (SameScheme(scheme, L"https")) return kServiceHttps;
  if (SameScheme(scheme, L"ftp")) return kServiceFtp;
  if (SameScheme(scheme, L"gopher")) return kServiceGopher;
  if (SameScheme(scheme, L"file")) return kServiceFile;
  return kServiceUnknown;
}

uint16_t DefaultPort(uint32_t serviceType) {
  switch (serviceType) {
    case kServiceHttp:
      return 80;
    case kServiceHttps:
      return 443;
    case kServiceFtp:
      return 21;
    case kServiceGopher:
      return 70;
    default:
      return 0;
  }
}

// Splits "[user[:password]@]host[:port]" into host and port; false when malformed.
bool SplitAuthority(std::wstring_view authority, std::wstring& host, uint32_t& port) {
  const std::size_t at = authority.rfind(L'@');
  if (at != std::wstring_view::npos) authority.remove_prefix(at + 1);
  std::size_t hostEnd = authority.size();
  if (!authority.empty() && authority[0] == L'[') {
    hostEnd = authority.find(L']');
    if (hostEnd == std::wstring_view::npos) return false;
    ++hostEnd;
  } else {
    hostEnd = std::min(authority.find(L':'), authority.size());
  }
  host = authority.substr(0, hostEnd);
  if (host.empty()) return false;
  port = 0;
  std::wstring_view portText = authority.substr(hostEnd);
  if (portText.empty()) return true;
  if (portText[0] != L':') return false;
  portText.remove_prefix(1);
  for (const wchar_t c : portText) {
    if (!IsAsciiDigit(c)) return false;
    port = port * 10 + static_cast<uint32_t>(c - L'0');
    if (port > 65535) return false;
  }
  return true;
}

}  // namespace

bool CanonicalizeUrl(std::wstring_view url, std::wstring& canonical) {
  UrlParts parts;
  if (!SplitCanonical(url, parts)) return false;
  canonical = parts.scheme + L"://" + parts.authority + parts.path + parts.rest;
  return true;
}

bool ParseUrl(std::wstring_view url, ParsedUrl& parsed) {
  UrlParts parts;
  if (!SplitCanonical(url, parts)) return false;
  std::wstring host;
  uint32_t port = 0;
  if (!SplitAuthority(parts.authority, host, port)) return false;
  parsed.serviceType = ServiceType(parts.scheme);
  parsed.scheme = parts.scheme;
  parsed.server = std::move(host);
  parsed.port = static_cast<uint16_t>(port != 0 ? port : DefaultPort(parsed.serviceType));
  parsed.object = parts.path + parts.rest;
  return true;
}

}  // namespace orvella
