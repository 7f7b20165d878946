// The announced body length of a WinINet response, which both WinINet fetches compare
// with what arrived: WinINet ends a body the server cut short like a complete one.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cwchar>

namespace orvella {

/// Returns the Content-Length of `request`'s response, or -1 when it announces none.
/// The thread that runs the request.
inline long long ContentLength(HINTERNET request) {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
  return std::wcstoll(text, nullptr, 10);
}

}  // namespace orvella
