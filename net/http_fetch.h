// Fetching one URL of the art service: the whole body in one heap block. The platform's
// HTTP stack sits behind these two functions (libcurl, or WinINet on Windows).
//
// Result codes: 0 success (the body, possibly empty, was read completely); -1 the session
// or the URL could not be opened; -2 a read of the body failed; -3 the body buffer could
// not grow; any other value is the HTTP status when it is not 200, 301 or 302, or the
// platform's error code when the status could not be obtained. Every failure writes one
// diagnostic line.
//
// A request also ends, as a failure of the transport, when its stop flag is set (within
// about a tenth of a second, whether it is connecting, waiting for the answer or reading
// it), when it has taken kServiceTimeLimit in all, and when its answer grows past
// kMaxServiceAnswer: a service that stalls, drips or never ends cannot hold the calling
// thread or its memory for good.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvella {

inline constexpr int32_t kFetchOk = 0;
inline constexpr int32_t kFetchOpenFailed = -1;
inline constexpr int32_t kFetchReadFailed = -2;
inline constexpr int32_t kFetchGrowFailed = -3;

/// The longest a service request may take, from opening the URL to the answer's last byte.
inline constexpr std::chrono::milliseconds kServiceTimeLimit = std::chrono::minutes(5);
/// The largest answer the service fetch takes; a longer one fails as a body that cannot
/// grow (-3).
inline constexpr uint32_t kMaxServiceAnswer = uint32_t{256} << 20;

/// The platform error numbers the log lines and the error text show for a request that
/// its stop flag ended (libcurl's "aborted by callback", WinINet's "operation cancelled")
/// and for one that ran out of time.
extern const int32_t kFetchStoppedError;
extern const int32_t kFetchTimedOutError;

/// What ends a service request early, besides its own failures.
struct FetchWatch {
  /// Set to non-zero (by any thread) to end the request; null: no stop flag.
  const std::atomic<int32_t>* stop = nullptr;
  /// The request's time in all.
  std::chrono::milliseconds limit = kServiceTimeLimit;
};

/// The longest Retry-After text a FetchReply keeps; a longer one is dropped (no value
/// that makes sense is that long).
inline constexpr std::size_t kMaxRetryAfterText = 64;

/// What the service answered besides the body, for the caller's retry decisions: the
/// result code says whether the request worked, this says what the server asked for.
struct FetchReply {
  /// The HTTP status of the final answer; 0 when no answer came (not opened, refused).
  int32_t status = 0;
  /// The final answer's Retry-After value as sent, blanks around it dropped; "" when it
  /// had none or a longer one than kMaxRetryAfterText.
  std::string retryAfter;
};

/// The platform's root internet session; one is opened for each request.
struct InternetSession;

/// Opens a session (agent "Internet Explorer", the system's proxy settings), fetches `url`
/// with InternetReadWholeFile and closes the session. Returns the result code; `block` and
/// `length` as InternetReadWholeFile leaves them. Blocks the calling thread. Any thread.
int32_t FetchUrl(const std::wstring& url, char*& block, uint32_t& length);

/// FetchUrl with `watch` ending the request early: a stop or the time limit before the
/// answer's headers fails as an open failure (-1), later as a read failure (-2), each
/// with its log line showing kFetchStoppedError or kFetchTimedOutError. A stop flag that
/// is already set sends nothing. When `reply` is given it is filled with the answer's
/// status and Retry-After, whatever the result code (reset first). Any thread.
int32_t FetchUrlWatched(const std::wstring& url, const FetchWatch& watch, char*& block,
                        uint32_t& length, FetchReply* reply = nullptr);

/// Fetches `url` in `session`: sent to the network with a no-cache pragma, never from or
/// to a cache; for http: and https: URLs (any letter case) only a status of 200, 301 or
/// 302 is read on. On success `block` is the body followed by one NUL byte (exactly
/// length + 1 bytes, released by the caller with free()) or null for an empty body, and
/// `length` counts the data without the NUL. On failure `block` is null and `length` 0.
/// Watched, and the reply reported, as the session's FetchUrlWatched call asked. Blocks
/// the calling thread.
int32_t InternetReadWholeFile(InternetSession& session, const std::wstring& url, char*& block,
                              uint32_t& length);

}  // namespace orvella
