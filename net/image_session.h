// The HTTP session that image downloads run on: one request per session, the body
// handed to a sink block by block. libcurl on Linux, WinINet on Windows.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/url_parse.h"

namespace orvella {

/// Receives the body of a 200 response in the order it arrives.
class ImageSink {
 public:
  virtual ~ImageSink() = default;
  /// Takes the next `size` bytes (at most kImageBlockSize). Returns false to end the
  /// transfer at once (the stop flag was seen, or the bytes could not be stored).
  virtual bool Deliver(const char* data, std::size_t size) = 0;
};

/// The largest block handed to ImageSink::Deliver.
inline constexpr std::size_t kImageBlockSize = 4096;

/// How a request ended.
enum class ImageFetchOutcome {
  kComplete,           // the whole body went to the sink
  kSinkDeclined,       // the sink returned false
  kStopped,            // the stop flag ended the transfer while connecting or waiting for data
  kOpenRequestFailed,  // no request could be made for the URL
  kSendFailed,         // the request could not be sent, without an error of the HTTP layer
  kHttpStatus,         // the final status was not 200; nothing reached the sink
  kNotPicture,         // a 200 answer that is no picture (net/picture_check.h): empty, or
                       // an HTML page; what reached the sink is not to be kept
  kError,              // the HTTP layer failed: no connection, time-out, body shorter than
                       // announced, redirect to another scheme, ...
};

struct ImageFetchResult {
  /// Returns a result of `outcome`, with `status` for kHttpStatus.
  static ImageFetchResult Of(ImageFetchOutcome outcome, int32_t status = 0) {
    ImageFetchResult result;
    result.outcome = outcome;
    result.status = status;
    return result;
  }
  /// Returns a failure of the HTTP layer (kError) with its error number and message, the
  /// message cut at 1023 characters.
  static ImageFetchResult Failure(int32_t errorCode, std::wstring errorText) {
    ImageFetchResult result = Of(ImageFetchOutcome::kError);
    result.errorCode = errorCode;
    result.errorText = std::move(errorText);
    if (result.errorText.size() > kMaxErrorText) result.errorText.resize(kMaxErrorText);
    return result;
  }

  /// Returns an answer that is no picture (kNotPicture), `reason` saying why.
  static ImageFetchResult NotAPicture(const wchar_t* reason) {
    ImageFetchResult result = Of(ImageFetchOutcome::kNotPicture);
    result.errorText = reason;
    return result;
  }

  static constexpr std::size_t kMaxErrorText = 1023;
  ImageFetchOutcome outcome = ImageFetchOutcome::kError;
  int32_t status = 0;      // kHttpStatus: the status
  int32_t errorCode = 0;   // kError: the HTTP layer's error number
  std::wstring errorText;  // kError: its message (at most 1023 characters); kNotPicture:
                           // the reason
};

class ImageSession {
 public:
  virtual ~ImageSession() = default;
  /// Sends "GET" for url.object to url.server:url.port (TLS for kServiceHttps) with the
  /// headers "Accept: text/*" and "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0)" (the
  /// request's own agent, which the session's agent name gives way to), fresh from the
  /// server. Redirects are followed, to http and https only. Connecting may take 60
  /// seconds; a transfer that receives nothing for 60 seconds fails. `stop` is watched
  /// at least every tenth of a second while connecting or waiting. A 200 answer is read
  /// through a PictureCheck: one that is no picture ends as kNotPicture, as soon as its
  /// Content-Type or its first bytes tell. Blocks; worker thread.
  virtual ImageFetchResult Get(const ParsedUrl& url, const std::atomic<int32_t>* stop,
                               ImageSink& sink) = 0;
};

/// Opens a session that sends `agent` as its agent name. Throws std::runtime_error when
/// the platform cannot open one. Worker thread.
std::unique_ptr<ImageSession> OpenImageSession(const std::wstring& agent);

/// Where DownloadImage takes its sessions from (tests put a scripted session here).
using ImageSessionOpener = std::unique_ptr<ImageSession> (*)(const std::wstring& agent);

}  // namespace orvella
