// The service fetch over WinINet.
#include <windows.h>
#include <wininet.h>

#include <cwchar>

#include "base/ansi_codepage.h"
#include "base/write_log.h"
#include "net/body_buffer.h"
#include "net/content_length_wininet.h"
#include "net/http_fetch.h"
#include "net/http_fetch_rules.h"
#include "net/wire_url.h"

namespace orvella {

struct InternetSession {
  HINTERNET root = nullptr;
};

namespace {

constexpr wchar_t kAgent[] = L"Internet Explorer";
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
// INTERNET_FLAG_TRANSFER_ASCII: always from the network, never into the cache, with a
// no-cache pragma (the ASCII bit means nothing to HTTP).
constexpr DWORD kOpenUrlFlags = 0x84000101;
// HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER.
constexpr DWORD kStatusQuery = 0x20000013;
constexpr DWORD kReadChunk = 1024;

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
  // WinINet puts the URL into the request line as its code page bytes; what may not
  // stand there (a blank, a line break typed into the tags) is escaped first, as on the
  // wire of every platform, so typed text can never add a header line.
  const std::wstring wire = AnsiToWide(WireUrl(url));
  HINTERNET request = ::InternetOpenUrlW(session.root, wire.c_str(), nullptr,
                                         static_cast<DWORD>(-1), kOpenUrlFlags, 0);
  if (request == nullptr) {
    const DWORD error = ::GetLastError();
    WriteLog(L"InternetOpenUrl() failed, error %d", error);
    return kFetchOpenFailed;
  }
  if (const int32_t refused = CheckStatus(request); refused != 0) {
    ::InternetCloseHandle(request);
    return refused;
  }
  const long long announced = ContentLength(request);
  BodyBuffer body;
  char chunk[kReadChunk];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request, chunk, kReadChunk, &read)) {
      const DWORD error = ::GetLastError();
      body.Discard();
      WriteLog(L"InternetReadWholeFile: error %d returned by InternetReadFile", error);
      ::InternetCloseHandle(request);
      return kFetchReadFailed;
    }
    if (read == 0) {
      // WinINet ends a body the server cut short like a complete one: the caller would
      // get part of an answer as if it were all of it.
      if (announced >= 0 && body.length() < announced) {
        body.Discard();
        WriteLog(L"InternetReadWholeFile: error %d returned by InternetReadFile",
                 ERROR_INTERNET_CONNECTION_RESET);
        ::InternetCloseHandle(request);
        return kFetchReadFailed;
      }
      break;
    }
    if (!body.Append(chunk, read)) {
      WriteLog(L"InternetReadWholeFile: realloc failed");
      ::InternetCloseHandle(request);
      return kFetchGrowFailed;
    }
  }
  ::InternetCloseHandle(request);
  length = body.length();
  block = body.Release();
  return kFetchOk;
}

int32_t FetchUrl(const std::wstring& url, char*& block, uint32_t& length) {
  block = nullptr;
  length = 0;
  InternetSession session;
  session.root = ::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session.root == nullptr) {
    const DWORD error = ::GetLastError();
    WriteLog(L"InternetOpen() failed, error: %d", error);
    return kFetchOpenFailed;
  }
  const int32_t result = InternetReadWholeFile(session, url, block, length);
  ::InternetCloseHandle(session.root);
  return result;
}

}  // namespace orvella
