// The art service client: one object per caller's unit of work (a sign-in attempt, a
// refresh pass). Not shared between threads.
#pragma once

#include <cstdint>
#include <string>

#include "model/orvella_model.h"

namespace orvella {

/// The API client key every request carries.
inline constexpr wchar_t kApiClientKey[] = L"Qm3rTz8LkVb2NwYp5HsXc7Ja";

class COrvellaClient {
 public:
  /// Copies the token and the user name; errorText starts empty.
  COrvellaClient(std::wstring token, std::wstring userName);

  /// Fetches `url` into `body` (bytes up to the first NUL). Returns 0 on success, -1, -2,
  /// -3 or the HTTP status / platform error code on failure, and sets errorText to
  /// string 34 on failure or empties it on success. Blocks the calling thread.
  int32_t QueryServer(const std::wstring& url, std::string& body);

  /// Signs in with the e-mail address and password as typed. Returns 1 with token and
  /// userName replaced, or 0 with errorText set (possibly empty). Never throws; writes
  /// no log line of its own. Host's thread.
  int32_t Authorize(const std::wstring& email, const std::wstring& password);

  /// Replaces feed.items with what the art endpoint offers for the feed at width x
  /// height. Returns 1 on success (items possibly empty), 0 on failure. Lets the JSON
  /// library's Json::LogicError through for wrongly typed answers. Worker thread.
  int32_t QueryFeed(COrvellaFeed& feed, int32_t width, int32_t height);

  std::wstring token;
  std::wstring userName;
  std::wstring errorText;
};

}  // namespace orvella
