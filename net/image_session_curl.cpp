// Image download sessions over libcurl.
//
// Headers: the request gets "Accept: text/*" and "User-Agent: Mozilla/4.0 (compatible;
// MSIE 8.0)" added where it has no such header yet, and WinINet puts the session's agent
// in only at sending time, where the request still has no User-Agent. So the MSIE text is
// what goes out as User-Agent on Windows, and servers see the same here: both headers go
// in curl's header list, which takes the place of curl's own "Accept: */*" and of the
// agent given as CURLOPT_USERAGENT.
#include "net/image_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/text_utf8.h"
#include "net/curl_setup_curl.h"
#include "net/picture_check.h"
#include "net/wire_url.h"

namespace orvella {
namespace {

constexpr long kMaxRedirects = 10;
// The agent the request itself names (see above).
constexpr char kRequestAgent[] = "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0)";
// Socket reads are large (as the curl program's own); the body still reaches the sink
// in blocks of kImageBlockSize, each with its stop test.
constexpr long kReceiveBuffer = 128 * 1024;

// The request as it goes on the wire: the ANSI code page bytes of the URL, with what
// may not stand in a request line escaped (net/wire_url.h).
std::string RequestUrl(const ParsedUrl& url) {
  std::wstring server = url.server;
  if (server.find(L':') != std::wstring::npos && server.front() != L'[')
    server = L"[" + server + L"]";
  const wchar_t* scheme = url.serviceType == kServiceHttps ? L"https://" : L"http://";
  return WireUrl(scheme + server + L":" + std::to_wstring(url.port) + url.object);
}

struct Transfer {
  CURL* curl = nullptr;
  ImageSink* sink = nullptr;
  bool statusChecked = false;
  long rejectedStatus = 0;
  bool declined = false;
  std::optional<PictureCheck> check;  // from the first body bytes of the 200 on
  NotPicture notPicture = NotPicture::kNone;
};

// The Content-Type value of the answer received last, "" when it had none.
std::string_view ContentType(CURL* curl) {
  const char* type = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
  return type != nullptr ? type : "";
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t total = size * count;
  if (!t.statusChecked) {
    t.statusChecked = true;
    long status = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
      t.rejectedStatus = status;
      return CURL_WRITEFUNC_ERROR;
    }
    t.check.emplace(ContentType(t.curl));
  }
  for (size_t done = 0; done < total; done += kImageBlockSize) {
    const size_t piece = std::min(kImageBlockSize, total - done);
    t.notPicture = t.check->Look(data + done, piece);
    if (t.notPicture != NotPicture::kNone) return CURL_WRITEFUNC_ERROR;
    if (!t.sink->Deliver(data + done, piece)) {
      t.declined = true;
      return CURL_WRITEFUNC_ERROR;
    }
  }
  return total;
}

class CurlImageSession final : public ImageSession {
 public:
  explicit CurlImageSession(std::string agent) : agent_(std::move(agent)) {
    InitCurlOnce();
    curl_ = curl_easy_init();
    headers_ = curl_slist_append(nullptr, "Accept: text/*");
    if (headers_ != nullptr) {
      curl_slist* both = curl_slist_append(headers_, kRequestAgent);
      if (both != nullptr) headers_ = both;
    }
    if (curl_ == nullptr || headers_ == nullptr || headers_->next == nullptr) {
      Release();
      throw std::runtime_error("cannot open an HTTP session");
    }
  }
  ~CurlImageSession() override { Release(); }

  ImageFetchResult Get(const ParsedUrl& url, const std::atomic<int32_t>* stop,
                       ImageSink& sink) override {
    if (stop != nullptr && stop->load() != 0)
      return ImageFetchResult::Of(ImageFetchOutcome::kStopped);
    Transfer t;
    t.curl = curl_;
    t.sink = &sink;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    if (!Configure(url, t, errorBuffer))
      return ImageFetchResult::Of(ImageFetchOutcome::kOpenRequestFailed);
    const CURLcode code = PerformWatched(curl_, stop);
    if (t.notPicture != NotPicture::kNone)
      return ImageFetchResult::NotAPicture(NotPictureText(t.notPicture));
    if (t.declined) return ImageFetchResult::Of(ImageFetchOutcome::kSinkDeclined);
    if (t.rejectedStatus != 0) {
      return ImageFetchResult::Of(ImageFetchOutcome::kHttpStatus,
                                  static_cast<int32_t>(t.rejectedStatus));
    }
    if (code == CURLE_ABORTED_BY_CALLBACK) return ImageFetchResult::Of(ImageFetchOutcome::kStopped);
    if (code == CURLE_URL_MALFORMAT)
      return ImageFetchResult::Of(ImageFetchOutcome::kOpenRequestFailed);
    if (code != CURLE_OK) {
      return ImageFetchResult::Failure(
          static_cast<int32_t>(code),
          Utf8ToWide(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code)));
    }
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
      return ImageFetchResult::Of(ImageFetchOutcome::kHttpStatus, static_cast<int32_t>(status));
    if (!t.check) t.check.emplace(ContentType(curl_));  // no body reached OnBody
    if (const NotPicture reason = t.check->End(); reason != NotPicture::kNone)
      return ImageFetchResult::NotAPicture(NotPictureText(reason));
    return ImageFetchResult::Of(ImageFetchOutcome::kComplete);
  }

 private:
  bool Configure(const ParsedUrl& url, Transfer& t, char* errorBuffer) {
    const bool ok =
        SetCommonOptions(curl_, RequestUrl(url), agent_.c_str(), headers_, kReceiveBuffer);
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &t);
    return ok;
  }

  void Release() {
    if (curl_ != nullptr) curl_easy_cleanup(curl_);
    if (headers_ != nullptr) curl_slist_free_all(headers_);
    curl_ = nullptr;
    headers_ = nullptr;
  }

  std::string agent_;
  CURL* curl_ = nullptr;
  curl_slist* headers_ = nullptr;
};

}  // namespace

std::unique_ptr<ImageSession> OpenImageSession(const std::wstring& agent) {
  return std::make_unique<CurlImageSession>(WideToUtf8(agent));
}

}  // namespace orvella
