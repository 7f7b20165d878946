// Image download sessions over WinINet: the session of the framework's internet classes
// (agent, preconfigured proxy, 60-second connect time-out), one connection and one GET
// request per download.
//
// A stop request has to end a download that is connecting or waiting for data, within
// about a second. A thread blocked in a synchronous WinINet call cannot be relied on to
// come back when its handle is closed from another thread (Wine's WinINet, for one, keeps
// reading), and a thread of this module still inside WinINet when the module is unloaded
// would return into unmapped code. So the session runs in WinINet's asynchronous mode:
// the waiting happens on WinINet's own threads, and the worker waits for their completion
// notice on an event, watching the stop flag between short waits. On a stop it unhooks
// the notice and closes the handles, and WinINet finishes or drops the operation alone.
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <stdexcept>

#include "base/ansi_codepage.h"
#include "net/content_length_wininet.h"
#include "net/image_session.h"
#include "net/wire_url.h"

namespace orvella {
namespace {

constexpr DWORD kConnectTimeoutMs = 60000;
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE, plus INTERNET_FLAG_SECURE for https.
constexpr DWORD kHttpFlags = 0x84000000;
constexpr DWORD kHttpsFlags = 0x84800000;
constexpr wchar_t kHeaders[] =
    L"Accept: text/*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 8.0)\r\n";
// How long the worker waits for a completion notice before it looks at the stop flag.
constexpr DWORD kStopPollMs = 100;

// WinINet's text for an error number.
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
  return result;
}

ImageFetchResult Failure(DWORD code) {
  return ImageFetchResult::Failure(static_cast<int32_t>(code), ErrorText(code));
}

// What WinINet's threads write while an operation completes: the notice, its result, and
// the counts and block of a query or read. They live here, not on the worker's stack,
// because an abandoned call may still fill them in. Its address is the handles' context.
struct Completion {
  HANDLE done = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  DWORD error = ERROR_SUCCESS;  // ERROR_SUCCESS when the operation succeeded
  DWORD available = 0;
  DWORD read = 0;
  char block[kImageBlockSize];
  ~Completion() {
    if (done != nullptr) ::CloseHandle(done);
  }
};

// Called by WinINet on its own threads (and on the caller's, during a call): only the
// completion of a pending operation matters. The context of any other notice may belong
// to a request that has ended, so it is not touched.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
  if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 || info == nullptr) return;
  auto* completion = reinterpret_cast<Completion*>(context);
  const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
  completion->error = result->dwResult != 0 ? ERROR_SUCCESS : result->dwError;
  if (result->dwResult == 0 && completion->error == ERROR_SUCCESS) {
    completion->error = ERROR_INTERNET_INTERNAL_ERROR;
  }
  ::SetEvent(completion->done);
}

// The handles and completion state of one request.
class Request {
 public:
  Request() : completion_(std::make_unique<Completion>()) {}
  ~Request() {
    if (pending_) {
      // WinINet may still complete the operation: it must find neither the notice
      // routine (this module may be gone by then) nor freed memory.
      Unhook(request_);
      Unhook(connection_);
      (void)completion_.release();  // a block and an event, kept for good
    }
    if (request_ != nullptr) ::InternetCloseHandle(request_);
    if (connection_ != nullptr) ::InternetCloseHandle(connection_);
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  DWORD_PTR context() const { return reinterpret_cast<DWORD_PTR>(completion_.get()); }
  Completion& completion() { return *completion_; }
  HINTERNET& connection() { return connection_; }
  HINTERNET& handle() { return request_; }

  // Makes a WinINet call that may go pending and waits for it when it does. Returns
  // ERROR_SUCCESS once it completed well, its error otherwise, and ERROR_OPERATION_ABORTED
  // when the stop flag was set first (the request is then abandoned to WinINet). Worker
  // thread.
  template <typename Call>
  DWORD Run(Call call, const std::atomic<int32_t>* stop) {
    // A notice left from an earlier call that completed at once is not this one's.
    ::ResetEvent(completion_->done);
    waited_ = false;
    if (call()) return ERROR_SUCCESS;
    const DWORD callError = ::GetLastError();
    if (callError != ERROR_IO_PENDING) return callError;
    pending_ = true;
    for (;;) {
      if (::WaitForSingleObject(completion_->done, kStopPollMs) == WAIT_OBJECT_0) break;
      if (stop != nullptr && stop->load() != 0) return ERROR_OPERATION_ABORTED;
    }
    pending_ = false;
    waited_ = true;
    return completion_->error;
  }
  // Whether the last Run's call went pending and was waited for.
  bool waited() const { return waited_; }

 private:
  static void Unhook(HINTERNET handle) {
    if (handle != nullptr) ::InternetSetStatusCallbackW(handle, nullptr);
  }

  std::unique_ptr<Completion> completion_;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  bool pending_ = false;  // an operation is in WinINet's hands
  bool waited_ = false;
};

ImageFetchResult Unfinished(DWORD error) {
  if (error == ERROR_OPERATION_ABORTED) return ImageFetchResult::Of(ImageFetchOutcome::kStopped);
  return Failure(error);
}

class WinInetImageSession final : public ImageSession {
 public:
  explicit WinInetImageSession(const std::wstring& agent) {
    session_ = ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                               INTERNET_FLAG_ASYNC);
    if (session_ == nullptr) {
      throw std::runtime_error("InternetOpen failed with error " +
                               std::to_string(::GetLastError()));
    }
    DWORD timeout = kConnectTimeoutMs;
    ::InternetSetOptionW(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    // Handles made from the session inherit the routine.
    ::InternetSetStatusCallbackW(session_, &OnStatus);
  }
  ~WinInetImageSession() override {
    ::InternetSetStatusCallbackW(session_, nullptr);
    ::InternetCloseHandle(session_);
  }

  ImageFetchResult Get(const ParsedUrl& url, const std::atomic<int32_t>* stop,
                       ImageSink& sink) override {
    Request request;
    std::wstring server = url.server;
    if (server.size() > 2 && server.front() == L'[' && server.back() == L']') {
      server = server.substr(1, server.size() - 2);
    }
    request.connection() = ::InternetConnectW(session_, server.c_str(), url.port, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, request.context());
    if (request.connection() == nullptr) return Failure(::GetLastError());

    const DWORD flags = url.serviceType == kServiceHttps ? kHttpsFlags : kHttpFlags;
    // The object's query is as written: what may not stand in a request line is escaped,
    // as on the wire of every platform.
    const std::wstring object = AnsiToWide(WireUrl(url.object));
    request.handle() = ::HttpOpenRequestW(request.connection(), L"GET", object.c_str(), nullptr,
                                          nullptr, nullptr, flags, request.context());
    if (request.handle() == nullptr)
      return ImageFetchResult::Of(ImageFetchOutcome::kOpenRequestFailed);
    HINTERNET handle = request.handle();

    ::HttpAddRequestHeadersW(handle, kHeaders, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    const DWORD sent =
        request.Run([handle] { return ::HttpSendRequestW(handle, nullptr, 0, nullptr, 0); }, stop);
    if (sent != ERROR_SUCCESS) return Unfinished(sent);
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr)) {
      return Failure(::GetLastError());
    }
    if (status != 200)
      return ImageFetchResult::Of(ImageFetchOutcome::kHttpStatus, static_cast<int32_t>(status));
    return ReadBody(request, stop, sink);
  }

 private:
  // Asks for the number of bytes that can be read now without waiting, which is then in
  // the request's completion: 0 at the end of the body.
  static DWORD QueryAvailable(Request& request, const std::atomic<int32_t>* stop) {
    HINTERNET handle = request.handle();
    DWORD* available = &request.completion().available;
    for (;;) {
      const DWORD error =
          request.Run([&] { return ::InternetQueryDataAvailable(handle, available, 0, 0); }, stop);
      // A call that went pending completes without the count: once it has, the data (or
      // the end) is there to be asked for again.
      if (error != ERROR_SUCCESS || !request.waited()) return error;
    }
  }

  static ImageFetchResult ReadBody(Request& request, const std::atomic<int32_t>* stop,
                                   ImageSink& sink) {
    const long long announced = ContentLength(request.handle());
    long long received = 0;
    Completion& completion = request.completion();
    for (;;) {
      DWORD error = QueryAvailable(request, stop);
      if (error == ERROR_OPERATION_ABORTED && announced >= 0 && received == announced) break;
      if (error != ERROR_SUCCESS) return Unfinished(error);
      if (completion.available == 0) break;
      const DWORD wanted =
          completion.available < kImageBlockSize ? completion.available : kImageBlockSize;
      completion.read = 0;
      error = request.Run(
          [&] {
            return ::InternetReadFile(request.handle(), completion.block, wanted, &completion.read);
          },
          stop);
      if (error != ERROR_SUCCESS) return Unfinished(error);
      if (completion.read == 0) break;
      received += completion.read;
      if (!sink.Deliver(completion.block, completion.read)) {
        return ImageFetchResult::Of(ImageFetchOutcome::kSinkDeclined);
      }
    }
    // WinINet ends a body the server cut short like a complete one.
    if (announced >= 0 && received < announced) return Failure(ERROR_INTERNET_CONNECTION_RESET);
    return ImageFetchResult::Of(ImageFetchOutcome::kComplete);
  }

  HINTERNET session_ = nullptr;
};

}  // namespace

std::unique_ptr<ImageSession> OpenImageSession(const std::wstring& agent) {
  return std::make_unique<WinInetImageSession>(agent);
}

}  // namespace orvella
