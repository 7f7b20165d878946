// Image download sessions over WinINet: the session of the framework's internet classes
// (agent, preconfigured proxy, 60-second connect time-out), one connection and one GET
// request per download, run in asynchronous mode so that a stop request ends a download
// that is connecting or waiting for data (net/async_request_wininet.h).
#include "net/image_session.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "base/ansi_codepage.h"
#include "base/error_text.h"
#include "net/async_request_wininet.h"
#include "net/picture_check.h"
#include "net/wire_url.h"

namespace orvella {
namespace {

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE, plus INTERNET_FLAG_SECURE for https.
constexpr DWORD kHttpFlags = 0x84000000;
constexpr DWORD kHttpsFlags = 0x84800000;
constexpr wchar_t kHeaders[] =
    L"Accept: text/*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 8.0)\r\n";

ImageFetchResult Failure(DWORD code) {
  const auto number = static_cast<int32_t>(code);
  return ImageFetchResult::Failure(number, SystemErrorText(number, WinInetModule()));
}

ImageFetchResult Unfinished(DWORD error) {
  if (error == kAsyncStopped) return ImageFetchResult::Of(ImageFetchOutcome::kStopped);
  if (error == kAsyncDeclined) return ImageFetchResult::Of(ImageFetchOutcome::kSinkDeclined);
  return Failure(error);
}

// The answer's Content-Type value, "" when it had none.
std::string ContentType(HINTERNET request) {
  std::wstring value(256, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_TYPE, value.data(), &bytes, nullptr)) {
      value.resize(bytes / sizeof(wchar_t));
      return WideToAnsi(value);
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    value.assign(bytes / sizeof(wchar_t) + 1, L'\0');  // the size it asked for
  }
  return {};
}

// Reads the body of a 200 answer into `sink` through the picture check.
ImageFetchResult ReadPicture(AsyncRequest& request, const AsyncWatch& watch, ImageSink& sink) {
  PictureCheck check(ContentType(request.handle()));
  NotPicture refused = check.verdict();
  if (refused != NotPicture::kNone) return ImageFetchResult::NotAPicture(NotPictureText(refused));
  const DWORD read = request.ReadBody(watch, [&](const char* data, DWORD size) {
    refused = check.Look(data, size);
    return refused == NotPicture::kNone && sink.Deliver(data, size);
  });
  if (refused == NotPicture::kNone && read == ERROR_SUCCESS) refused = check.End();
  if (refused != NotPicture::kNone) return ImageFetchResult::NotAPicture(NotPictureText(refused));
  if (read != ERROR_SUCCESS) return Unfinished(read);
  return ImageFetchResult::Of(ImageFetchOutcome::kComplete);
}

class WinInetImageSession final : public ImageSession {
 public:
  explicit WinInetImageSession(const std::wstring& agent) {
    session_ = OpenAsyncSession(agent.c_str());
    if (session_ == nullptr) {
      throw std::runtime_error("InternetOpen failed with error " +
                               std::to_string(::GetLastError()));
    }
  }
  ~WinInetImageSession() override { CloseAsyncSession(session_); }

  ImageFetchResult Get(const ParsedUrl& url, const std::atomic<int32_t>* stop,
                       ImageSink& sink) override {
    const AsyncWatch watch{stop};
    if (stop != nullptr && stop->load() != 0)
      return ImageFetchResult::Of(ImageFetchOutcome::kStopped);
    AsyncRequest request(kImageBlockSize);
    if (const DWORD error = request.Connect(session_, url.server, url.port); error != 0)
      return Failure(error);
    const DWORD flags = url.serviceType == kServiceHttps ? kHttpsFlags : kHttpFlags;
    // The object's query is as written: what may not stand in a request line is escaped,
    // as on the wire of every platform.
    if (request.OpenGet(AnsiToWide(WireUrl(url.object)), flags) != ERROR_SUCCESS)
      return ImageFetchResult::Of(ImageFetchOutcome::kOpenRequestFailed);
    HINTERNET handle = request.handle();
    ::HttpAddRequestHeadersW(handle, kHeaders, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (const DWORD sent = request.Send(watch); sent != ERROR_SUCCESS) return Unfinished(sent);
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr)) {
      return Failure(::GetLastError());
    }
    if (status != 200)
      return ImageFetchResult::Of(ImageFetchOutcome::kHttpStatus, static_cast<int32_t>(status));
    return ReadPicture(request, watch, sink);
  }

 private:
  HINTERNET session_ = nullptr;
};

}  // namespace

std::unique_ptr<ImageSession> OpenImageSession(const std::wstring& agent) {
  return std::make_unique<WinInetImageSession>(agent);
}

}  // namespace orvella
