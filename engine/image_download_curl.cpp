// Image download sessions over libcurl.
//
// Headers: WinINet puts the session's agent into every request as its User-Agent and
// then adds "Accept: text/*" and "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0)" only
// where the request has no such header yet. So the agent name is what goes out as
// User-Agent, together with "Accept: text/*"; the MSIE agent never reaches the wire.
// libcurl is set up to send exactly that: CURLOPT_USERAGENT with the agent, and the
// Accept header in place of curl's own "*/*".
#include <curl/curl.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string>

#include "engine/image_download.h"
#include "host/text_utf8.h"
#include "service/wire_url.h"

namespace orvella {
namespace {

constexpr long kConnectTimeoutMs = 60000;
constexpr long kStallSeconds = 60;  // no byte for this long: the transfer fails
constexpr long kMaxRedirects = 10;
// Socket reads are large (as the curl program's own); the body still reaches the sink
// in blocks of kImageBlockSize, each with its stop test.
constexpr long kReceiveBuffer = 128 * 1024;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The request as it goes on the wire: the ANSI code page bytes of the URL, with what
// may not stand in a request line escaped (service/wire_url.h).
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
  const std::atomic<int32_t>* stop = nullptr;
  bool statusChecked = false;
  long rejectedStatus = 0;
  bool declined = false;
  bool stopped = false;
};

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
  }
  for (size_t done = 0; done < total; done += kImageBlockSize) {
    if (!t.sink->Deliver(data + done, std::min(kImageBlockSize, total - done))) {
      t.declined = true;
      return CURL_WRITEFUNC_ERROR;
    }
  }
  return total;
}

// Called about once a second even while nothing arrives: ends a transfer that is
// connecting or stalled when the stop flag is set. Once the announced body is complete
// the stop no longer matters.
int OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  auto& t = *static_cast<Transfer*>(user);
  if (t.stop == nullptr || t.stop->load() == 0) return 0;
  if (total > 0 && now >= total) return 0;
  t.stopped = true;
  return 1;
}

ImageFetchResult Outcome(ImageFetchOutcome outcome, int32_t status = 0) {
  ImageFetchResult result;
  result.outcome = outcome;
  result.status = status;
  return result;
}

class CurlImageSession final : public ImageSession {
 public:
  explicit CurlImageSession(std::string agent) : agent_(std::move(agent)) {
    InitCurlOnce();
    curl_ = curl_easy_init();
    headers_ = curl_slist_append(nullptr, "Accept: text/*");
    if (curl_ == nullptr || headers_ == nullptr) {
      Release();
      throw std::runtime_error("cannot open an HTTP session");
    }
  }
  ~CurlImageSession() override { Release(); }

  ImageFetchResult Get(const ParsedUrl& url, const std::atomic<int32_t>* stop,
                       ImageSink& sink) override {
    Transfer t{curl_, &sink, stop};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    if (!Configure(url, t, errorBuffer)) return Outcome(ImageFetchOutcome::kOpenRequestFailed);
    const CURLcode code = curl_easy_perform(curl_);
    if (t.declined) return Outcome(ImageFetchOutcome::kSinkDeclined);
    if (t.rejectedStatus != 0) {
      return Outcome(ImageFetchOutcome::kHttpStatus, static_cast<int32_t>(t.rejectedStatus));
    }
    if (t.stopped) return Outcome(ImageFetchOutcome::kStopped);
    if (code == CURLE_URL_MALFORMAT) return Outcome(ImageFetchOutcome::kOpenRequestFailed);
    if (code != CURLE_OK) {
      std::wstring text = Utf8ToWide(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
      if (text.size() > 1023) text.resize(1023);
      ImageFetchResult failed = Outcome(ImageFetchOutcome::kError);
      failed.errorCode = static_cast<int32_t>(code);
      failed.errorText = std::move(text);
      return failed;
    }
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return Outcome(ImageFetchOutcome::kHttpStatus, static_cast<int32_t>(status));
    return Outcome(ImageFetchOutcome::kComplete);
  }

 private:
  bool Configure(const ParsedUrl& url, Transfer& t, char* errorBuffer) {
    const std::string wire = RequestUrl(url);
    bool ok = curl_easy_setopt(curl_, CURLOPT_URL, wire.c_str()) == CURLE_OK;
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, agent_.c_str());
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, kMaxRedirects);
    ok = ok && curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, &t);
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
