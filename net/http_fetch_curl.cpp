// The service fetch over libcurl.
#include "net/http_fetch.h"

#include <curl/curl.h>
#include <sys/mman.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/write_log.h"
#include "net/body_buffer.h"
#include "net/curl_setup_curl.h"
#include "net/http_fetch_rules.h"
#include "net/wire_url.h"

namespace orvella {

struct InternetSession {
  InternetSession() = default;
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;
  ~InternetSession() {
    if (easy != nullptr) curl_easy_cleanup(easy);  // on every path, a thrown bad_alloc included
  }
  CURL* easy = nullptr;
  FetchWatch watch;
  FetchReply* reply = nullptr;  // where the answer's status and Retry-After go, if anywhere
};

const int32_t kFetchStoppedError = CURLE_ABORTED_BY_CALLBACK;
const int32_t kFetchTimedOutError = CURLE_OPERATION_TIMEDOUT;

namespace {

constexpr char kAgent[] = "Internet Explorer";
constexpr long kReadChunkBytes = 256 * 1024;

// Asks for huge pages under a large body block: writing a body into fresh memory costs one
// page fault per 4 KB otherwise, which on some machines takes longer than the transfer.
void AdviseLargeBlock(char* block, std::size_t capacity) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (capacity < 2 * kHugePage) return;
  const auto start = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const auto end = (reinterpret_cast<uintptr_t>(block) + capacity) & ~(kHugePage - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// What one request saw while libcurl ran it.
struct Transfer {
  CURL* easy = nullptr;
  bool headersDone = false;  // the final response's header block has ended
  bool statusChecked = false;
  int32_t statusFailure = 0;  // non-zero: the status test refused the response
  bool growFailed = false;
  std::string retryAfter;  // the current response's Retry-After, "" while it has none
  BodyBuffer body{kMaxServiceAnswer, AdviseLargeBlock};
};

// The status test, once the final response's headers are in. Returns 0 when the body may
// be read, else the code the request ends with (the status, or the error of the query).
int32_t CheckStatus(Transfer& t) {
  t.statusChecked = true;
  long status = 0;
  const CURLcode query = curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  if (query == CURLE_OK && IsAcceptedStatus(status)) return 0;
  if (status != 0) {
    WriteLog(L"HttpQueryInfo()  error returned by server: %d", status);
    return static_cast<int32_t>(status);
  }
  // No status to be had. A code of 0 would read as success, so a failed query that left
  // no error code is reported as a reply the stack could not use.
  const int32_t error = query != CURLE_OK ? query : CURLE_WEIRD_SERVER_REPLY;
  WriteLog(L"HttpQueryInfo() failed, error %d", error);
  return error;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    t.headersDone = false;  // a new response begins (after an interim 1xx, say)
    t.retryAfter.clear();
  } else if (const auto retryAfter = HeaderLineValue(line, "retry-after")) {
    if (t.retryAfter.empty()) t.retryAfter = ReplyHeaderText(*retryAfter);
  } else if (line == "\r\n" || line == "\n") {
    long status = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
    t.headersDone = status >= 200;
  }
  return size * count;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  if (!t.statusChecked) {
    t.statusFailure = CheckStatus(t);
    if (t.statusFailure != 0) return 0;  // the body of a refused response is not read
    curl_off_t announced = -1;
    if (curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
        announced > 0) {
      // An answer announced too long for the block fails before it is read.
      if (announced > curl_off_t{kMaxServiceAnswer}) {
        t.growFailed = true;
        return 0;
      }
      t.body.Reserve(static_cast<std::size_t>(announced));
    }
  }
  if (!t.body.Append(data, size * count)) {
    t.growFailed = true;
    return 0;
  }
  return size * count;
}

void SetRequestOptions(CURL* easy, const std::string& wireUrl, curl_slist* headers,
                       const FetchWatch& watch, Transfer& transfer) {
  SetCommonOptions(easy, wireUrl, kAgent, headers, kReadChunkBytes);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(watch.limit.count()));
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeaderLine);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBodyBytes);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
}

// What the final response said besides its body: its status (0 when none came) and its
// Retry-After.
void ReportReply(const Transfer& transfer, FetchReply& reply) {
  long status = 0;
  if (curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
  reply.status = static_cast<int32_t>(status);
  reply.retryAfter = transfer.retryAfter;
}

// Turns what the transfer saw into the result code, handing the body out on success.
int32_t Conclude(Transfer& transfer, CURLcode result, char*& block, uint32_t& length) {
  if (transfer.statusFailure != 0) return transfer.statusFailure;
  if (transfer.growFailed) {
    WriteLog(L"InternetReadWholeFile: realloc failed");
    return kFetchGrowFailed;
  }
  if (result != CURLE_OK && !transfer.headersDone) {
    WriteLog(L"InternetOpenUrl() failed, error %d", result);
    return kFetchOpenFailed;
  }
  // The response was opened: its status decides before anything read of its body counts.
  if (!transfer.statusChecked) {
    if (const int32_t refused = CheckStatus(transfer); refused != 0) return refused;
  }
  if (result != CURLE_OK) {
    transfer.body.Discard();
    WriteLog(L"InternetReadWholeFile: error %d returned by InternetReadFile", result);
    return kFetchReadFailed;
  }
  length = transfer.body.length();
  block = transfer.body.Release();
  return kFetchOk;
}

}  // namespace

int32_t InternetReadWholeFile(InternetSession& session, const std::wstring& url, char*& block,
                              uint32_t& length) {
  block = nullptr;
  length = 0;
  // Only http and https are fetched. libcurl is limited to them, but it would guess a
  // scheme for a URL that names none, which must fail as well.
  if (!IsHttpUrl(url)) {
    WriteLog(L"InternetOpenUrl() failed, error %d", CURLE_UNSUPPORTED_PROTOCOL);
    return kFetchOpenFailed;
  }
  const FetchWatch& watch = session.watch;
  if (watch.stop != nullptr && watch.stop->load() != 0) {
    WriteLog(L"InternetOpenUrl() failed, error %d", kFetchStoppedError);
    return kFetchOpenFailed;
  }

  const std::string wireUrl = WireUrl(url);
  curl_slist* headers = curl_slist_append(nullptr, "Pragma: no-cache");
  if (headers == nullptr) {
    WriteLog(L"InternetOpenUrl() failed, error %d", CURLE_OUT_OF_MEMORY);
    return kFetchOpenFailed;
  }
  Transfer transfer;
  transfer.easy = session.easy;
  SetRequestOptions(session.easy, wireUrl, headers, watch, transfer);
  const CURLcode result = PerformWatched(session.easy, watch.stop);
  if (session.reply != nullptr) ReportReply(transfer, *session.reply);
  const int32_t code = Conclude(transfer, result, block, length);
  curl_easy_reset(session.easy);  // drops the options that point at this frame
  curl_slist_free_all(headers);
  return code;
}

int32_t FetchUrl(const std::wstring& url, char*& block, uint32_t& length) {
  return FetchUrlWatched(url, FetchWatch{}, block, length);
}

int32_t FetchUrlWatched(const std::wstring& url, const FetchWatch& watch, char*& block,
                        uint32_t& length, FetchReply* reply) {
  block = nullptr;
  length = 0;
  if (reply != nullptr) *reply = FetchReply{};
  const CURLcode init = InitCurlOnce();
  InternetSession session;
  session.watch = watch;
  session.reply = reply;
  if (init == CURLE_OK) session.easy = curl_easy_init();
  if (session.easy == nullptr) {
    WriteLog(L"InternetOpen() failed, error: %d", init != CURLE_OK ? init : CURLE_FAILED_INIT);
    return kFetchOpenFailed;
  }
  return InternetReadWholeFile(session, url, block, length);
}

}  // namespace orvella
