// The feed query against a loopback art endpoint.
#include <json/json.h>

#include "service/answer_error.h"
#include "service/orvella_client.h"
#include "tests/service/client_fixtures.h"

namespace orvella::test {
namespace {

TEST_F(QueryFeedTest, WallpaperRequestInItsOrderWithTheTokenMaskedInTheLog) {
  Answer(R"({"art":[]})");
  COrvellaClient client(L"s3cr&t", L"Ann");
  COrvellaFeed feed(kFeedTypeWallpapers, 25, L"sea sky,blue");
  EXPECT_EQ(client.QueryFeed(feed, 1920, 1080), 1);
  const std::string query = std::string("?client=") + kKey +
                            "&limit=25&user_token=s3cr&t&has_wall=1&wall_type=computer"
                            "&wall_width=1920&wall_height=1080&keyword=";
  EXPECT_EQ(LastTarget(), kArtPath + query + "sea%20sky,blue");
  const std::wstring logged = host.logs().at(0);
  EXPECT_EQ(logged, L"QueryFeed: " + server.WideBaseUrl() + L"/api/v3/art/?client=" +
                        std::wstring(kApiClientKey) +
                        L"&limit=25&user_token=***&has_wall=1&wall_type=computer"
                        L"&wall_width=1920&wall_height=1080&keyword=sea sky,blue");
  EXPECT_EQ(logged.find(L"s3cr"), std::wstring::npos);
}

TEST_F(QueryFeedTest, ClockRequestWithoutTokenOrTagsReadsClockUrls) {
  Answer(R"({"art":[{"name":"c","wall_url":"w1","clock_url":"c1"},{"wall_url":"w2"}]})");
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeClocks, 7, L"");
  EXPECT_EQ(client.QueryFeed(feed, 800, 600), 1);
  EXPECT_EQ(LastTarget(), std::string(kArtPath) + "?client=" + kKey +
                              "&limit=7&has_clock=1&clock_width=800&clock_height=600");
  EXPECT_EQ(Urls(feed), std::vector<std::wstring>{L"c1"});
}

TEST_F(QueryFeedTest, AnyTypeButClocksIsAWallpaperFeed) {
  Answer(R"({"art":[{"wall_url":"w1","clock_url":"c1"}]})");
  COrvellaClient client(L"", L"");
  for (int32_t type : {0, 1, 3, -1}) {
    SCOPED_TRACE(type);
    COrvellaFeed feed(type, -5, L"");
    EXPECT_EQ(client.QueryFeed(feed, 1, 2), 1);
    EXPECT_EQ(LastTarget(), std::string(kArtPath) + "?client=" + kKey +
                                "&limit=-5&has_wall=1&wall_type=computer&wall_width=1"
                                "&wall_height=2");
    EXPECT_EQ(Urls(feed), std::vector<std::wstring>{L"w1"});
  }
}

TEST_F(QueryFeedTest, ThreeEntryExample) {
  Answer(R"({"art":[{"name":"a","filename":"a.jpg","wall_url":"u1"},{"name":"b"},
                   {"wall_url":"u2"}]})");
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
  EXPECT_EQ(client.QueryFeed(feed, 1024, 768), 1);
  ASSERT_EQ(feed.items.size(), 2u);
  EXPECT_EQ(feed.items.front().name, L"a");
  EXPECT_EQ(feed.items.front().filename, L"a.jpg");
  EXPECT_EQ(feed.items.front().url, L"u1");
  EXPECT_EQ(feed.items.back().name, L"");
  EXPECT_EQ(feed.items.back().filename, L"");
  EXPECT_EQ(feed.items.back().url, L"u2");
  EXPECT_EQ(LinesAfterUrl(), std::vector<std::wstring>{L"QueryFeed: data.size()=3"});
}

TEST_F(QueryFeedTest, TextIsReadInTheAnsiCodePageNotAsUtf8) {
  Answer(
      "{\"art\":[{\"name\":\"Caf\xC3\xA9 \xE2\x82\xAC\",\"filename\":\"\\u00e9.jpg\","
      "\"wall_url\":\"http://h/\xC3\xA9.jpg\"}]}");
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
  EXPECT_EQ(client.QueryFeed(feed, 1, 1), 1);
  ASSERT_EQ(feed.items.size(), 1u);
  // Each UTF-8 byte is one Windows-1252 character: 0xE2 0x82 0xAC is "â‚¬".
  EXPECT_EQ(feed.items.front().name, L"Caf\u00c3\u00a9 \u00e2\u201a\u00ac");
  EXPECT_EQ(feed.items.front().filename, L"\u00c3\u00a9.jpg");
  EXPECT_EQ(feed.items.front().url, L"http://h/\u00c3\u00a9.jpg");
}

TEST_F(QueryFeedTest, SecondQueryReplacesTheItems) {
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
  Answer(R"({"art":[{"wall_url":"u1"},{"wall_url":"u2"}]})");
  EXPECT_EQ(client.QueryFeed(feed, 1, 1), 1);
  Answer(R"({"art":[{"wall_url":"u3"}]})");
  EXPECT_EQ(client.QueryFeed(feed, 1, 1), 1);
  EXPECT_EQ(Urls(feed), std::vector<std::wstring>{L"u3"});
}

struct FeedCase {
  const char* title;
  int status;
  std::string body;
  int32_t result;
  std::vector<std::wstring> lines;  // written after the "QueryFeed: <url>" line
};

void PrintTo(const FeedCase& c, std::ostream* out) {
  *out << c.title;
}

class QueryFeedOutcome : public QueryFeedTest, public ::testing::WithParamInterface<FeedCase> {};

TEST_P(QueryFeedOutcome, ResultItemsAndLogLines) {
  const FeedCase& c = GetParam();
  Answer(c.body, c.status);
  COrvellaClient client(L"", L"");
  COrvellaFeed feed = FeedWithOldItems(kFeedTypeWallpapers);
  EXPECT_EQ(client.QueryFeed(feed, 640, 480), c.result);
  EXPECT_TRUE(feed.items.empty());
  EXPECT_EQ(LinesAfterUrl(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    FailureTable, QueryFeedOutcome,
    ::testing::Values(
        FeedCase{"ServerError",
                 500,
                 "{\"art\":[]}",
                 0,
                 {L"HttpQueryInfo()  error returned by server: 500"}},
        FeedCase{"NotFound", 404, "", 0, {L"HttpQueryInfo()  error returned by server: 404"}},
        FeedCase{"NotJson", 200, "{\"art\":[", 0, {}}, FeedCase{"EmptyBody", 200, "", 0, {}},
        FeedCase{"EmptyObject", 200, "{}", 0, {L"QueryFeed: meta is missing"}},
        FeedCase{"NullRoot", 200, "null", 0, {L"QueryFeed: meta is missing"}},
        FeedCase{"ArtNull", 200, "{\"art\":null}", 0, {L"QueryFeed: meta is missing"}},
        FeedCase{"EmptyArray", 200, "{\"art\":[]}", 1, {L"QueryFeed: data.size()=0"}},
        FeedCase{"EmptyObjectArt", 200, "{\"art\":{}}", 1, {L"QueryFeed: data.size()=0"}},
        FeedCase{"ScalarArt", 200, "{\"art\":\"x\"}", 1, {L"QueryFeed: data.size()=0"}},
        FeedCase{"NoUrls",
                 200,
                 R"({"art":[{"name":"a"},null,{"clock_url":"c"},{"wall_url":""}]})",
                 1,
                 {L"QueryFeed: data.size()=4"}}),
    [](const ::testing::TestParamInfo<FeedCase>& info) { return info.param.title; });

TEST_F(QueryFeedTest, WronglyTypedAnswersRaiseTheJsonLogicError) {
  const char* const bodies[] = {
      "[1,2]",                                   // root neither object nor null
      "42",                                      // likewise
      R"({"art":{"x":1}})",                      // "art" an object with a member
      R"({"art":[5]})",                          // an entry that is no object
      R"({"art":[{"wall_url":null}]})",          // a member that is null
      R"({"art":[{"name":1,"wall_url":"u"}]})",  // a member that is no string
  };
  COrvellaClient client(L"", L"");
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    Answer(body);
    COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
    EXPECT_THROW(client.QueryFeed(feed, 1, 1), CServiceAnswerError);
  }
}

TEST_F(QueryFeedTest, ItemsBeforeAWronglyTypedEntryStay) {
  Answer(R"({"art":[{"wall_url":"u1"},{"wall_url":"u2"},{"wall_url":3},{"wall_url":"u4"}]})");
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
  EXPECT_THROW(client.QueryFeed(feed, 1, 1), CServiceAnswerError);
  EXPECT_EQ(Urls(feed), (std::vector<std::wstring>{L"u1", L"u2"}));
}

}  // namespace
}  // namespace orvella::test
