// Image download sessions over WinINet: the session of the framework's internet classes
// (agent, preconfigured proxy, 60-second connect time-out), one connection and one GET
// request per download.
//
// WinINet's calls block. A stop request has to end a download that is connecting or
// waiting for data, so each request runs with a watcher that, once the stop flag is set,
// closes the request's handles: closing a handle from another thread is how WinINet
// cancels a blocked synchronous call.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "engine/image_download.h"
#include "service/ansi_codepage.h"
#include "service/wire_url.h"

namespace orvella {
namespace {

constexpr DWORD kConnectTimeoutMs = 60000;
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE, plus INTERNET_FLAG_SECURE for https.
constexpr DWORD kHttpFlags = 0x84000000;
constexpr DWORD kHttpsFlags = 0x84800000;
constexpr wchar_t kHeaders[] =
    L"Accept: text/*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 8.0)\r\n";
constexpr DWORD_PTR kContext = 1;
constexpr auto kStopPoll = std::chrono::milliseconds(100);

// WinINet's text for an error number, at most 1023 characters.
std::wstring ErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  ::FormatMessageW(flags, ::GetModuleHandleW(L"wininet.dll"), code, 0,
                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = text != nullptr ? text : L"";
  if (text != nullptr) ::LocalFree(text);
  while (!result.empty() &&
         (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
    result.pop_back();
  }
  if (result.empty()) result = L"WinINet error " + std::to_wstring(code);
  if (result.size() > 1023) result.resize(1023);
  return result;
}

ImageFetchResult Outcome(ImageFetchOutcome outcome, int32_t status = 0) {
  ImageFetchResult result;
  result.outcome = outcome;
  result.status = status;
  return result;
}

ImageFetchResult Failure(DWORD code) {
  ImageFetchResult result = Outcome(ImageFetchOutcome::kError);
  result.errorCode = static_cast<int32_t>(code);
  result.errorText = ErrorText(code);
  return result;
}

// The handles of one request and the watcher that cancels it when the stop flag is set.
// Each handle is closed exactly once: by the watcher, or by the request when it ends.
class Request {
 public:
  explicit Request(const std::atomic<int32_t>* stop) : stop_(stop) {
    if (stop_ != nullptr) watcher_ = std::thread([this] { Watch(); });
  }
  ~Request() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    CloseHandles();
  }

  /// Keeps `handle` for closing; false (and the handle closed) when the request was
  /// cancelled meanwhile.
  bool Adopt(HINTERNET handle, bool isRequest) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
      ::InternetCloseHandle(handle);
      return false;
    }
    (isRequest ? request_ : connection_) = handle;
    return true;
  }
  bool cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!finished_) {
      if (stop_->load() != 0) {
        cancelled_ = true;
        CloseHandlesLocked();
        return;
      }
      changed_.wait_for(lock, kStopPoll);
    }
  }
  void CloseHandles() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseHandlesLocked();
  }
  // Innermost first.
  void CloseHandlesLocked() {
    if (request_ != nullptr) ::InternetCloseHandle(request_);
    if (connection_ != nullptr) ::InternetCloseHandle(connection_);
    request_ = nullptr;
    connection_ = nullptr;
  }

  const std::atomic<int32_t>* stop_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false;
  bool cancelled_ = false;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  std::thread watcher_;
};

// The announced body length, or -1 when the response announces none.
long long ContentLength(HINTERNET request) {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
  return std::wcstoll(text, nullptr, 10);
}

class WinInetImageSession final : public ImageSession {
 public:
  explicit WinInetImageSession(const std::wstring& agent) {
    session_ = ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session_ == nullptr) {
      throw std::runtime_error("InternetOpen failed with error " +
                               std::to_string(::GetLastError()));
    }
    DWORD timeout = kConnectTimeoutMs;
    ::InternetSetOptionW(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
  }
  ~WinInetImageSession() override { ::InternetCloseHandle(session_); }

  ImageFetchResult Get(const ParsedUrl& url, const std::atomic<int32_t>* stop,
                       ImageSink& sink) override {
    Request request(stop);
    std::wstring server = url.server;
    if (server.size() > 2 && server.front() == L'[' && server.back() == L']') {
      server = server.substr(1, server.size() - 2);
    }
    HINTERNET connection = ::InternetConnectW(session_, server.c_str(), url.port, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, kContext);
    if (connection == nullptr) return Failure(::GetLastError());
    if (!request.Adopt(connection, false)) return Outcome(ImageFetchOutcome::kStopped);

    const DWORD flags = url.serviceType == kServiceHttps ? kHttpsFlags : kHttpFlags;
    // The object's query is as written: what may not stand in a request line is escaped,
    // as on the wire of every platform.
    const std::wstring object = AnsiToWide(WireUrl(url.object));
    HINTERNET handle = ::HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr,
                                          nullptr, flags, kContext);
    if (handle == nullptr) {
      if (request.cancelled()) return Outcome(ImageFetchOutcome::kStopped);
      return Outcome(ImageFetchOutcome::kOpenRequestFailed);
    }
    if (!request.Adopt(handle, true)) return Outcome(ImageFetchOutcome::kStopped);

    ::HttpAddRequestHeadersW(handle, kHeaders, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (!::HttpSendRequestW(handle, nullptr, 0, nullptr, 0)) {
      const DWORD error = ::GetLastError();
      if (request.cancelled()) return Outcome(ImageFetchOutcome::kStopped);
      return Failure(error);
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr)) {
      const DWORD error = ::GetLastError();
      if (request.cancelled()) return Outcome(ImageFetchOutcome::kStopped);
      return Failure(error);
    }
    if (status != 200) return Outcome(ImageFetchOutcome::kHttpStatus, static_cast<int32_t>(status));
    return ReadBody(request, handle, sink);
  }

 private:
  static ImageFetchResult ReadBody(Request& request, HINTERNET handle, ImageSink& sink) {
    const long long announced = ContentLength(handle);
    long long received = 0;
    char block[kImageBlockSize];
    for (;;) {
      DWORD read = 0;
      if (!::InternetReadFile(handle, block, sizeof block, &read)) {
        const DWORD error = ::GetLastError();
        if (!request.cancelled()) return Failure(error);
        // Stopped: unless the whole announced body was already here.
        if (announced >= 0 && received == announced) return Outcome(ImageFetchOutcome::kComplete);
        return Outcome(ImageFetchOutcome::kStopped);
      }
      if (read == 0) break;
      received += read;
      if (!sink.Deliver(block, read)) return Outcome(ImageFetchOutcome::kSinkDeclined);
    }
    // WinINet ends a body the server cut short like a complete one.
    if (announced >= 0 && received < announced) {
      if (request.cancelled()) return Outcome(ImageFetchOutcome::kStopped);
      return Failure(ERROR_INTERNET_CONNECTION_RESET);
    }
    return Outcome(ImageFetchOutcome::kComplete);
  }

  HINTERNET session_ = nullptr;
};

}  // namespace

std::unique_ptr<ImageSession> OpenImageSession(const std::wstring& agent) {
  return std::make_unique<WinInetImageSession>(agent);
}

}  // namespace orvella
