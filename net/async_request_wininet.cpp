// WinINet requests in asynchronous mode, waited for in short slices.
#include "net/async_request_wininet.h"

#include "net/content_length_wininet.h"

namespace orvella {
namespace {

constexpr DWORD kConnectTimeoutMs = 60000;

// Called by WinINet on its own threads (and on the caller's, during a call): only the
// completion of a pending operation matters. The context of any other notice may belong
// to a request that has ended, so it is not touched.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
  if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 || info == nullptr) return;
  auto* completion = reinterpret_cast<AsyncCompletion*>(context);
  const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
  completion->error = result->dwResult != 0 ? ERROR_SUCCESS : result->dwError;
  if (result->dwResult == 0 && completion->error == ERROR_SUCCESS) {
    completion->error = ERROR_INTERNET_INTERNAL_ERROR;
  }
  ::SetEvent(completion->done);
}

// Returns WinINet's module, kept loaded for good (its own threads may still call back
// into a request's notice routine after this module is gone), or null.
HMODULE KeepWinInetLoaded() {
  HMODULE module = nullptr;
  return ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"wininet.dll", &module) != 0
             ? module
             : nullptr;
}

// Done while the module loads, on the loading thread, not on the worker: the loader's
// lookups take the lock that an unload holds while it waits for the worker.
const HMODULE kWinInet = KeepWinInetLoaded();

}  // namespace

HMODULE WinInetModule() {
  return kWinInet;
}

HINTERNET OpenAsyncSession(const wchar_t* agent) {
  HINTERNET session =
      ::InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
  if (session == nullptr) return nullptr;
  DWORD timeout = kConnectTimeoutMs;
  ::InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
  // Handles made from the session inherit the routine.
  ::InternetSetStatusCallbackW(session, &OnStatus);
  return session;
}

void CloseAsyncSession(HINTERNET session) {
  ::InternetSetStatusCallbackW(session, nullptr);
  ::InternetCloseHandle(session);
}

AsyncCompletion::AsyncCompletion(DWORD size)
    : done(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      block(new char[size]),
      blockSize(size) {}

AsyncCompletion::~AsyncCompletion() {
  if (done != nullptr) ::CloseHandle(done);
}

AsyncRequest::AsyncRequest(DWORD blockSize)
    : completion_(std::make_unique<AsyncCompletion>(blockSize)) {}

AsyncRequest::~AsyncRequest() {
  if (pending_) {
    // WinINet may still complete the operation: it must find neither the notice routine
    // (this module may be gone by then) nor freed memory.
    Unhook(request_);
    Unhook(connection_);
    (void)completion_.release();  // a block and an event, kept for good
  }
  if (request_ != nullptr) ::InternetCloseHandle(request_);
  if (connection_ != nullptr) ::InternetCloseHandle(connection_);
}

void AsyncRequest::Unhook(HINTERNET handle) {
  if (handle != nullptr) ::InternetSetStatusCallbackW(handle, nullptr);
}

DWORD AsyncRequest::Connect(HINTERNET session, const std::wstring& server, INTERNET_PORT port) {
  std::wstring host = server;
  if (host.size() > 2 && host.front() == L'[' && host.back() == L']') {
    host = host.substr(1, host.size() - 2);
  }
  const auto context = reinterpret_cast<DWORD_PTR>(completion_.get());
  connection_ = ::InternetConnectW(session, host.c_str(), port, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, context);
  return connection_ != nullptr ? ERROR_SUCCESS : ::GetLastError();
}

DWORD AsyncRequest::OpenGet(const std::wstring& object, DWORD flags) {
  const auto context = reinterpret_cast<DWORD_PTR>(completion_.get());
  request_ = ::HttpOpenRequestW(connection_, L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                flags, context);
  return request_ != nullptr ? ERROR_SUCCESS : ::GetLastError();
}

template <typename Call>
DWORD AsyncRequest::Run(Call call, const AsyncWatch& watch) {
  waited_ = false;
  if (watch.stop != nullptr && watch.stop->load() != 0) return kAsyncStopped;
  // A notice left from an earlier call that completed at once is not this one's.
  ::ResetEvent(completion_->done);
  if (call()) return ERROR_SUCCESS;
  const DWORD callError = ::GetLastError();
  if (callError != ERROR_IO_PENDING) return callError;
  pending_ = true;
  while (::WaitForSingleObject(completion_->done, kAsyncPollMs) != WAIT_OBJECT_0) {
    if (watch.stop != nullptr && watch.stop->load() != 0) return kAsyncStopped;
    if (std::chrono::steady_clock::now() >= watch.deadline) return kAsyncTimedOut;
  }
  pending_ = false;
  waited_ = true;
  return completion_->error;
}

DWORD AsyncRequest::Send(const AsyncWatch& watch) {
  HINTERNET handle = request_;
  return Run([handle] { return ::HttpSendRequestW(handle, nullptr, 0, nullptr, 0); }, watch);
}

DWORD AsyncRequest::QueryAvailable(const AsyncWatch& watch) {
  HINTERNET handle = request_;
  DWORD* available = &completion_->available;
  for (;;) {
    const DWORD error =
        Run([&] { return ::InternetQueryDataAvailable(handle, available, 0, 0); }, watch);
    // A call that went pending completes without the count: once it has, the data (or the
    // end) is there to be asked for again.
    if (error != ERROR_SUCCESS || !waited_) return error;
  }
}

DWORD AsyncRequest::ReadBody(const AsyncWatch& watch,
                             const std::function<bool(const char*, DWORD)>& take) {
  const long long announced = ContentLength(request_);
  long long received = 0;
  AsyncCompletion& completion = *completion_;
  for (;;) {
    DWORD error = QueryAvailable(watch);
    if (error == kAsyncStopped && announced >= 0 && received == announced) break;
    if (error != ERROR_SUCCESS) return error;
    if (completion.available == 0) break;
    const DWORD wanted =
        completion.available < completion.blockSize ? completion.available : completion.blockSize;
    completion.read = 0;
    HINTERNET handle = request_;
    error = Run(
        [&] {
          return ::InternetReadFile(handle, completion.block.get(), wanted, &completion.read);
        },
        watch);
    if (error != ERROR_SUCCESS) return error;
    if (completion.read == 0) break;
    received += completion.read;
    if (!take(completion.block.get(), completion.read)) return kAsyncDeclined;
  }
  // WinINet ends a body the server cut short like a complete one.
  if (announced >= 0 && received < announced) return ERROR_INTERNET_CONNECTION_RESET;
  return ERROR_SUCCESS;
}

}  // namespace orvella
