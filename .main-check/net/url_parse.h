// URLs as the download engine sees them: put into canonical form, then split into
// service type, server, port and object part.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvella {

/// Service type codes of a split URL.
inline constexpr uint32_t kServiceFtp = 1;
inline constexpr uint32_t kServiceGopher = 2;
inline constexpr uint32_t kServiceHttp = 3;
inline constexpr uint32_t kServiceUnknown = 4096;
inline constexpr uint32_t kServiceFile = 4097;
inline constexpr uint32_t kServiceHttps = 4107;

struct ParsedUrl {
  uint32_t serviceType = kServiceUnknown;
  std::wstring scheme;  // as written
  std::wstring server;  // host name or address; an IPv6 address keeps its brackets
  uint16_t port = 0;    // the given port, else the scheme's default (80, 443, 21), else 0
  std::wstring object;  // canonical path with the query and fragment as written
};

/// Puts `url` into canonical form in browser mode: in the part before the first '?' or
/// '#', a backslash becomes '/', blanks, control characters and non-ASCII characters
/// (as their bytes in the ANSI code page) become %-escapes, and '.' and '..' path
/// segments are resolved; existing escapes stay as written, and the text from the first
/// '?' or '#' on is left alone. Returns false when the URL has no "scheme://" start.
/// Any thread.
bool CanonicalizeUrl(std::wstring_view url, std::wstring& canonical);

/// Canonicalizes and splits `url`. Returns false when it cannot be canonicalized, has no
/// server, or has a port that is not a number from 1 to 65535. Any thread.
bool ParseUrl(std::wstring_view url, ParsedUrl& parsed);

}  // namespace orvella
