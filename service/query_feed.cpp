// COrvellaClient::QueryFeed: one feed's query and the items of its answer.
#include <json/json.h>

#include "base/ansi_codepage.h"
#include "base/text_format.h"
#include "base/write_log.h"
#include "service/orvella_client.h"
#include "service/server_address.h"

namespace orvella {
namespace {

// The art endpoint's URL for `feed` at width x height, carrying `tokenText` as the user
// token when the client has one.
std::wstring ArtQueryUrl(const COrvellaFeed& feed, bool hasToken, const std::wstring& tokenText,
                         int32_t width, int32_t height) {
  std::wstring url = Format(L"%s?client=%s&limit=%d", ArtEndpointUrl(),
                            std::wstring_view(kApiClientKey), feed.MaxP);
  if (hasToken) url += Format(L"&user_token=%s", tokenText);
  if (feed.Type == kFeedTypeClocks) {
    url += Format(L"&has_clock=1&clock_width=%d&clock_height=%d", width, height);
  } else {
    url += Format(L"&has_wall=1&wall_type=computer&wall_width=%d&wall_height=%d", width, height);
  }
  if (!feed.Tags.empty()) url += L"&keyword=" + feed.Tags;
  return url;
}

std::wstring MemberText(const Json::Value& entry, const char* member) {
  return AnsiToWide(entry.get(member, "").asCString());
}

}  // namespace

int32_t COrvellaClient::QueryFeed(COrvellaFeed& feed, int32_t width, int32_t height) {
  feed.items.clear();
  const bool hasToken = !token.empty();
  const std::wstring url = ArtQueryUrl(feed, hasToken, token, width, height);
  // The token is a credential and diagnostic logs get shared: the line shows a mask.
  WriteLog(L"QueryFeed: %s", ArtQueryUrl(feed, hasToken, L"***", width, height));

  std::string body;
  if (QueryServer(url, body) != 0) return 0;

  Json::Reader reader;
  Json::Value root;
  if (!reader.parse(body, root, true)) return 0;
  // Non-const access: a null root reads as an empty object, anything else but an object
  // raises the library's logic error, which the worker's loop handles.
  Json::Value& art = root["art"];
  if (art.isNull()) {
    WriteLog(L"QueryFeed: meta is missing");
    return 0;
  }
  WriteLog(L"QueryFeed: data.size()=%d", art.size());

  const char* urlMember = feed.Type == kFeedTypeClocks ? "clock_url" : "wall_url";
  for (Json::ArrayIndex i = 0; i < art.size(); ++i) {
    const Json::Value& entry = art[i];  // an object "art" raises the logic error here
    COrvellaItem item;
    item.name = MemberText(entry, "name");
    item.filename = MemberText(entry, "filename");
    item.url = MemberText(entry, urlMember);
    if (!item.url.empty()) feed.items.push_back(std::move(item));
  }
  return 1;
}

}  // namespace orvella
