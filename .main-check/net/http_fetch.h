// Fetching one URL of the art service: the whole body in one heap block. The platform's
// HTTP stack sits behind these two functions (libcurl, or WinINet on Windows).
//
// Result codes: 0 success (the body, possibly empty, was read completely); -1 the session
// or the URL could not be opened; -2 a read of the body failed; -3 the body buffer could
// not grow; any other value is the HTTP status when it is not 200, 301 or 302, or the
// platform's error code when the status could not be obtained. Every failure writes one
// diagnostic line.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

inline constexpr int32_t kFetchOk = 0;
inline constexpr int32_t kFetchOpenFailed = -1;
inline constexpr int32_t kFetchReadFailed = -2;
inline constexpr int32_t kFetchGrowFailed = -3;

/// The platform's root internet session; one is opened for each request.
struct InternetSession;

/// Opens a session (agent "Internet Explorer", the system's proxy settings), fetches `url`
/// with InternetReadWholeFile and closes the session. Returns the result code; `block` and
/// `length` as InternetReadWholeFile leaves them. Blocks the calling thread. Any thread.
int32_t FetchUrl(const std::wstring& url, char*& block, uint32_t& length);

/// Fetches `url` in `session`: sent to the network with a no-cache pragma, never from or
/// to a cache; for http: and https: URLs (any letter case) only a status of 200, 301 or
/// 302 is read on. On success `block` is the body followed by one NUL byte (exactly
/// length + 1 bytes, released by the caller with free()) or null for an empty body, and
/// `length` counts the data without the NUL. On failure `block` is null and `length` 0.
/// Blocks the calling thread.
int32_t InternetReadWholeFile(InternetSession& session, const std::wstring& url, char*& block,
                              uint32_t& length);

}  // namespace orvella
