// One WinINet request in asynchronous mode, shared by the service fetch and the image
// session, so that a stop request or a time limit ends it whatever it waits for.
//
// A thread blocked in a synchronous WinINet call cannot be relied on to come back when its
// handle is closed from another thread (Wine's WinINet, for one, keeps reading), and a
// thread of this module still inside WinINet when the module is unloaded would return
// into unmapped code. So requests run in WinINet's asynchronous mode: the waiting happens
// on WinINet's own threads, and the calling thread waits for their completion notice on
// an event in short slices, looking at the stop flag and the deadline between them. When
// either ends the wait, the request unhooks the notice and closes its handles, and WinINet
// finishes or drops the operation alone.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvella {

/// How long the calling thread waits for a completion notice before it looks at the stop
/// flag and the deadline again.
inline constexpr DWORD kAsyncPollMs = 100;
/// What a wait returns when the stop flag ended it.
inline constexpr DWORD kAsyncStopped = ERROR_OPERATION_ABORTED;
/// What a wait returns when the deadline ended it.
inline constexpr DWORD kAsyncTimedOut = ERROR_INTERNET_TIMEOUT;
/// What AsyncRequest::ReadBody returns when its consumer declined a piece.
inline constexpr DWORD kAsyncDeclined = ERROR_CANCELLED;

/// When a wait gives up besides a completion: a stop flag (null: none) and a deadline.
struct AsyncWatch {
  const std::atomic<int32_t>* stop = nullptr;
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

/// Opens a root session in asynchronous mode (agent `agent`, the system's proxy settings,
/// a 60-second connect time-out) whose handles report to this file's completion routine.
/// Returns null, with the platform's last error, when WinINet cannot open one. Any thread.
HINTERNET OpenAsyncSession(const wchar_t* agent);

/// Returns WinINet's module, or null. It is found and kept loaded for the rest of the
/// process while this module loads: an abandoned operation may still run on WinINet's
/// threads after this module is gone, and its error texts are in its own message table.
/// Any thread.
HMODULE WinInetModule();
/// Unhooks the completion routine and closes the session. The session's thread.
void CloseAsyncSession(HINTERNET session);

/// What WinINet's threads write while an operation completes. It lives on the heap, not
/// on the caller's stack, because an abandoned call may still fill it in; its address is
/// the handles' context.
struct AsyncCompletion {
  explicit AsyncCompletion(DWORD blockSize);
  ~AsyncCompletion();
  AsyncCompletion(const AsyncCompletion&) = delete;
  AsyncCompletion& operator=(const AsyncCompletion&) = delete;

  HANDLE done;                    // auto-reset: set by the completion notice
  DWORD error = ERROR_SUCCESS;    // ERROR_SUCCESS when the operation succeeded
  DWORD available = 0;            // InternetQueryDataAvailable's count
  DWORD read = 0;                 // InternetReadFile's count
  std::unique_ptr<char[]> block;  // InternetReadFile's buffer
  DWORD blockSize;
};

/// The connection and request handles of one GET and its completion state.
class AsyncRequest {
 public:
  /// `blockSize` is the most one read of the body delivers.
  explicit AsyncRequest(DWORD blockSize);
  /// Closes the handles; an operation still pending is abandoned to WinINet first.
  ~AsyncRequest();
  AsyncRequest(const AsyncRequest&) = delete;
  AsyncRequest& operator=(const AsyncRequest&) = delete;

  /// Makes the connection handle to `server` (an IPv6 address may keep its brackets) at
  /// `port` in `session`. Returns ERROR_SUCCESS or the platform's error. The calling thread.
  DWORD Connect(HINTERNET session, const std::wstring& server, INTERNET_PORT port);
  /// Makes the GET request handle for `object` (path and query as they go on the wire) with
  /// the HttpOpenRequest `flags`. Returns ERROR_SUCCESS or the platform's error.
  DWORD OpenGet(const std::wstring& object, DWORD flags);
  /// Sends the request (redirects followed by WinINet) and waits for the answer's headers.
  /// Returns ERROR_SUCCESS, kAsyncStopped, kAsyncTimedOut or WinINet's error.
  DWORD Send(const AsyncWatch& watch);
  /// Reads the body to its end, handing each piece to `take`. Returns ERROR_SUCCESS at the
  /// end, kAsyncDeclined once `take` returned false, kAsyncStopped or kAsyncTimedOut (a
  /// stop after the whole announced body arrived no longer counts), WinINet's error, or
  /// ERROR_INTERNET_CONNECTION_RESET for a body shorter than its Content-Length, which
  /// WinINet would end like a complete one.
  DWORD ReadBody(const AsyncWatch& watch, const std::function<bool(const char*, DWORD)>& take);

  /// The request handle (null until Open succeeded).
  HINTERNET handle() const { return request_; }

 private:
  template <typename Call>
  DWORD Run(Call call, const AsyncWatch& watch);
  DWORD QueryAvailable(const AsyncWatch& watch);
  static void Unhook(HINTERNET handle);

  std::unique_ptr<AsyncCompletion> completion_;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  bool pending_ = false;  // an operation is in WinINet's hands
  bool waited_ = false;   // the last Run's call went pending and was waited for
};

}  // namespace orvella
