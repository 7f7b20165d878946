// COrvellaClient::QueryFeed: one feed's query and the items of its answer.
#include <json/json.h>

#include "base/text_format.h"
#include "base/write_log.h"
#include "service/answer_error.h"
#include "service/feed_answer.h"
#include "service/orvella_client.h"
#include "service/server_address.h"

namespace orvella {
namespace {

// The query URL for `feed` at width x height on the art endpoint `endpoint`, carrying
// `tokenText` as the user token when the client has one.
std::wstring ArtQueryUrl(const std::wstring& endpoint, const COrvellaFeed& feed, bool hasToken,
                         const std::wstring& tokenText, int32_t width, int32_t height) {
  std::wstring url =
      Format(L"%s?client=%s&limit=%d", endpoint, std::wstring_view(kApiClientKey), feed.MaxP);
  if (hasToken) url += Format(L"&user_token=%s", tokenText);
  if (feed.Type == kFeedTypeClocks) {
    url += Format(L"&has_clock=1&clock_width=%d&clock_height=%d", width, height);
  } else {
    url += Format(L"&has_wall=1&wall_type=computer&wall_width=%d&wall_height=%d", width, height);
  }
  if (!feed.Tags.empty()) url += L"&keyword=" + feed.Tags;
  return url;
}

}  // namespace

int32_t COrvellaClient::QueryFeed(COrvellaFeed& feed, int32_t width, int32_t height) {
  feed.items.clear();
  std::wstring endpoint;
  if (!EndpointUrl(kArtEndpointPath, endpoint)) return 0;
  const bool hasToken = !token.empty();
  const std::wstring url = ArtQueryUrl(endpoint, feed, hasToken, token, width, height);
  // The token is a credential and diagnostic logs get shared: the line shows a mask.
  WriteLog(L"QueryFeed: %s", ArtQueryUrl(endpoint, feed, hasToken, L"***", width, height));

  ServiceAnswer answer;
  if (QueryServer(url, answer) != 0) return 0;
  try {
    return ReadFeedAnswer(answer.Text(), feed.Type, feed.items, watch_.stop);
  } catch (const Json::Exception& error) {
    throw CServiceAnswerError(error.what());  // the items read before it stay
  }
}

}  // namespace orvella
