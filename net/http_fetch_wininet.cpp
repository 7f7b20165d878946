// The service fetch over WinINet, in asynchronous mode so that a stop request or the time
// limit ends a request that is connecting, waiting or reading (net/async_request_wininet.h).
#include "net/http_fetch.h"

#include <windows.h>
#include <wininet.h>

#include "base/ansi_codepage.h"
#include "base/write_log.h"
#include "net/async_request_wininet.h"
#include "net/body_buffer.h"
#include "net/content_length_wininet.h"
#include "net/http_fetch_rules.h"
#include "net/url_parse.h"
#include "net/wire_url.h"

namespace orvella {

struct InternetSession {
  HINTERNET root = nullptr;
  FetchWatch watch;
  FetchReply* reply = nullptr;  // where the answer's status and Retry-After go, if anywhere
};

const int32_t kFetchStoppedError = ERROR_INTERNET_OPERATION_CANCELLED;
const int32_t kFetchTimedOutError = ERROR_INTERNET_TIMEOUT;

namespace {

constexpr wchar_t kAgent[] = L"Internet Explorer";
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE:
// always from the network, never into the cache, with a no-cache pragma; plus
// INTERNET_FLAG_SECURE for https.
constexpr DWORD kRequestFlags = 0x84000100;
constexpr DWORD kSecureFlag = INTERNET_FLAG_SECURE;
// HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER.
constexpr DWORD kStatusQuery = 0x20000013;
// The most one read of the answer delivers.
constexpr DWORD kReadBlock = 64 * 1024;

// The status test. Returns 0 when the body may be read, else the code the request ends
// with: the status, or the error of the status query.
int32_t CheckStatus(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  const BOOL queried = ::HttpQueryInfoW(request, kStatusQuery, &status, &size, nullptr);
  const DWORD error = ::GetLastError();
  if (queried && IsAcceptedStatus(status)) return 0;
  if (status != 0) {
    WriteLog(L"HttpQueryInfo()  error returned by server: %d", status);
    return static_cast<int32_t>(status);
  }
  // A code of 0 would read as success: a query that failed without an error code is
  // reported as a reply the stack could not use.
  const int32_t code = error != 0 ? static_cast<int32_t>(error)
                                  : static_cast<int32_t>(ERROR_HTTP_INVALID_SERVER_RESPONSE);
  WriteLog(L"HttpQueryInfo() failed, error %d", code);
  return code;
}

// What the answer said besides its body: its status and its Retry-After.
void ReportReply(HINTERNET request, FetchReply& reply) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoW(request, kStatusQuery, &status, &size, nullptr)) status = 0;
  reply.status = static_cast<int32_t>(status);
  wchar_t text[kMaxRetryAfterText + 1] = {};
  size = sizeof text;  // room for kMaxRetryAfterText characters and the terminator
  // A value too long to keep does not fit and fails the query: it is dropped.
  if (::HttpQueryInfoW(request, HTTP_QUERY_RETRY_AFTER, text, &size, nullptr)) {
    reply.retryAfter = ReplyHeaderText(WideToAnsi(std::wstring(text, size / sizeof text[0])));
  }
}

// The error number a log line shows for a wait that ended without a completion.
int32_t Reported(DWORD error) {
  if (error == kAsyncStopped) return kFetchStoppedError;
  if (error == kAsyncTimedOut) return kFetchTimedOutError;
  return static_cast<int32_t>(error);
}

int32_t OpenFailed(DWORD error) {
  WriteLog(L"InternetOpenUrl() failed, error %d", Reported(error));
  return kFetchOpenFailed;
}

// Opens the request for `url` and waits for its answer's headers. Returns 0 or the
// open failure's code (logged).
int32_t OpenUrl(InternetSession& session, const std::wstring& url, const AsyncWatch& watch,
                AsyncRequest& request) {
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed)) return OpenFailed(ERROR_INTERNET_INVALID_URL);
  if (const DWORD error = request.Connect(session.root, parsed.server, parsed.port); error != 0)
    return OpenFailed(error);
  // WinINet puts the request line together from the object's code page bytes; what may
  // not stand there (a blank, a line break typed into the tags) is escaped first, as on
  // the wire of every platform, so typed text can never add a header line.
  const DWORD flags = kRequestFlags | (parsed.serviceType == kServiceHttps ? kSecureFlag : 0);
  if (const DWORD error = request.OpenGet(AnsiToWide(WireUrl(parsed.object)), flags); error != 0)
    return OpenFailed(error);
  if (const DWORD error = request.Send(watch); error != ERROR_SUCCESS) return OpenFailed(error);
  return 0;
}

}  // namespace

int32_t InternetReadWholeFile(InternetSession& session, const std::wstring& url, char*& block,
                              uint32_t& length) {
  block = nullptr;
  length = 0;
  // Only http and https are fetched; WinINet would also open ftp: URLs.
  if (!IsHttpUrl(url)) {
    WriteLog(L"InternetOpenUrl() failed, error %d", ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return kFetchOpenFailed;
  }
  const AsyncWatch watch{session.watch.stop,
                         std::chrono::steady_clock::now() + session.watch.limit};
  if (watch.stop != nullptr && watch.stop->load() != 0) return OpenFailed(kAsyncStopped);
  AsyncRequest request(kReadBlock);
  if (const int32_t failed = OpenUrl(session, url, watch, request); failed != 0) return failed;
  if (session.reply != nullptr) ReportReply(request.handle(), *session.reply);
  if (const int32_t refused = CheckStatus(request.handle()); refused != 0) return refused;

  BodyBuffer body(kMaxServiceAnswer);
  // An answer announced too long for the block fails before it is read; one that fits is
  // read into its final block instead of being moved at each growth.
  const long long announced = ContentLength(request.handle());
  if (announced > 0 && announced <= static_cast<long long>(kMaxServiceAnswer)) {
    body.Reserve(static_cast<std::size_t>(announced));
  }
  const DWORD read = announced > static_cast<long long>(kMaxServiceAnswer)
                         ? kAsyncDeclined
                         : request.ReadBody(watch, [&body](const char* data, DWORD size) {
                             return body.Append(data, size);
                           });
  if (read == kAsyncDeclined) {
    WriteLog(L"InternetReadWholeFile: realloc failed");
    return kFetchGrowFailed;
  }
  if (read != ERROR_SUCCESS) {
    body.Discard();
    WriteLog(L"InternetReadWholeFile: error %d returned by InternetReadFile", Reported(read));
    return kFetchReadFailed;
  }
  length = body.length();
  block = body.Release();
  return kFetchOk;
}

int32_t FetchUrl(const std::wstring& url, char*& block, uint32_t& length) {
  return FetchUrlWatched(url, FetchWatch{}, block, length);
}

int32_t FetchUrlWatched(const std::wstring& url, const FetchWatch& watch, char*& block,
                        uint32_t& length, FetchReply* reply) {
  block = nullptr;
  length = 0;
  if (reply != nullptr) *reply = FetchReply{};
  InternetSession session;
  session.watch = watch;
  session.reply = reply;
  session.root = OpenAsyncSession(kAgent);
  if (session.root == nullptr) {
    const DWORD error = ::GetLastError();
    WriteLog(L"InternetOpen() failed, error: %d", error);
    return kFetchOpenFailed;
  }
  const int32_t result = InternetReadWholeFile(session, url, block, length);
  CloseAsyncSession(session.root);
  return result;
}

}  // namespace orvella
