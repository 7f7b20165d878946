// The art service client: one object per caller's unit of work (a sign-in attempt, a
// refresh pass). Not shared between threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/orvella_model.h"
#include "net/http_fetch.h"

namespace orvella {

/// A service answer as the transport gathered it: one heap block, held once and never
/// copied (a feed answer may be hundreds of megabytes).
class ServiceAnswer {
 public:
  ServiceAnswer() = default;
  ~ServiceAnswer();
  ServiceAnswer(const ServiceAnswer&) = delete;
  ServiceAnswer& operator=(const ServiceAnswer&) = delete;

  /// The answer up to its first NUL byte: what the JSON reader is given, as it would be
  /// given a C string. Empty for an empty answer.
  std::string_view Text() const;

 private:
  friend class COrvellaClient;
  char* block_ = nullptr;  // the data and a NUL byte, from malloc
  uint32_t length_ = 0;
};

/// The API client key every request carries.
inline constexpr wchar_t kApiClientKey[] = L"Qm3rTz8LkVb2NwYp5HsXc7Ja";

class COrvellaClient {
 public:
  /// Copies the token and the user name; errorText starts empty. `stop` (null: none), set
  /// to non-zero by any thread, ends this client's requests early: the worker's stop flag,
  /// or the sign-in dialog's Cancel. It must outlive the client.
  COrvellaClient(std::wstring token, std::wstring userName,
                 const std::atomic<int32_t>* stop = nullptr);

  /// Fetches `url` into `body` (bytes up to the first NUL), ended early by the stop flag
  /// or the time limit.
  /// Returns 0 on success, -1, -2, -3 or the HTTP status / platform error code on
  /// failure, and sets errorText to string 34 on failure or empties it on success.
  /// Blocks the calling thread.
  int32_t QueryServer(const std::wstring& url, std::string& body);
  /// QueryServer into `answer` (replacing what it held), without copying the body.
  int32_t QueryServer(const std::wstring& url, ServiceAnswer& answer);

  /// Signs in with the e-mail address and password as typed. Returns 1 with token and
  /// userName replaced, or 0 with errorText set (possibly empty). Never throws; writes
  /// no log line of its own. Any thread (the sign-in dialog runs it on one of its own).
  int32_t Authorize(const std::wstring& email, const std::wstring& password);

  /// Replaces feed.items with what the art endpoint offers for the feed at width x
  /// height. Returns 1 on success (items possibly empty), 0 on failure, 0 too once the stop
  /// flag ends the request or the reading of its answer. Throws CServiceAnswerError
  /// (service/answer_error.h) for a wrongly typed or too deeply nested answer, the items
  /// read before the fault kept. Worker thread.
  int32_t QueryFeed(COrvellaFeed& feed, int32_t width, int32_t height);

  std::wstring token;
  std::wstring userName;
  std::wstring errorText;
  /// The status and Retry-After of the last request's answer (status 0 when none came or
  /// no request was sent). Set by QueryServer.
  FetchReply reply;

  /// True once the stop flag given at construction is set. Any thread.
  bool StopRequested() const;

 private:
  /// Returns true with the URL of the endpoint at `path` on the service's address. When
  /// the address is not an http or https URL, returns false with errorText set as for a
  /// URL that cannot be opened (string 34 with -1), and logs the refusal once for this
  /// client (a refresh pass, a sign-in attempt).
  bool EndpointUrl(const wchar_t* path, std::wstring& url);

  FetchWatch watch_;  // the stop flag and the time limit of every request
  bool addressRefused_ = false;  // the refusal of the service's address was logged
};

}  // namespace orvella
