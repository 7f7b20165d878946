// The feed answer read entry by entry: what the reader does at its quirks and limits, the
// same as one tree of the answer gives, and the stop seen while it is read.
#include "service/feed_answer.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/write_log.h"
#include "tests/support/fake_host.h"

namespace orvella::test {
namespace {

enum class Ends { kResult, kLogicError, kRuntimeError };

// What one reading did: its result or the kind of error it raised (with the library's
// text), the items and the log lines.
struct Reading {
  Ends ends = Ends::kResult;
  int32_t result = -1;
  std::string error;
  std::vector<std::wstring> items;  // name|filename|url
  std::vector<std::wstring> logs;

  bool operator==(const Reading&) const = default;
};

void PrintTo(const Reading& r, std::ostream* out) {
  *out << "ends " << static_cast<int>(r.ends) << " result " << r.result << " error '" << r.error
       << "' items " << r.items.size() << " logs " << r.logs.size();
}

class FeedAnswerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLogCallback(FakeHost::callback()); }
  void TearDown() override { SetLogCallback(nullptr); }

  Reading Read(const std::string& text, bool oneTree, int32_t type = kFeedTypeWallpapers,
               const std::atomic<int32_t>* stop = nullptr) {
    host.ClearLogs();
    COrvellaItemList items;
    Reading reading;
    try {
      reading.result = oneTree ? ReadFeedAnswerAsOneTree(text, type, items)
                               : ReadFeedAnswer(text, type, items, stop);
    } catch (const Json::LogicError& e) {
      reading.ends = Ends::kLogicError;
      reading.error = e.what();
    } catch (const Json::RuntimeError& e) {
      reading.ends = Ends::kRuntimeError;
      reading.error = e.what();
    }
    for (const COrvellaItem& item : items) {
      reading.items.push_back(item.name + L"|" + item.filename + L"|" + item.url);
    }
    reading.logs = host.logs();
    return reading;
  }

  FakeHost host;
};

struct Quirk {
  const char* title;
  std::string text;
  Ends ends;
  int32_t result;
  std::vector<std::wstring> items;
  std::vector<std::wstring> logs;
};

void PrintTo(const Quirk& q, std::ostream* out) {
  *out << q.title;
}

class FeedAnswerQuirks : public FeedAnswerTest, public ::testing::WithParamInterface<Quirk> {};

// Each case as the reader reads it, and exactly as one tree of it reads (error texts
// included).
TEST_P(FeedAnswerQuirks, ReadAsTheReaderReadsIt) {
  const Quirk& q = GetParam();
  const Reading reading = Read(q.text, false);
  EXPECT_EQ(reading.ends, q.ends);
  if (q.ends == Ends::kResult) {
    EXPECT_EQ(reading.result, q.result);
  }
  EXPECT_EQ(reading.items, q.items);
  EXPECT_EQ(reading.logs, q.logs);
  EXPECT_EQ(reading, Read(q.text, true));
}

std::string Nested(int levels, const std::string& inside) {
  return std::string(static_cast<std::size_t>(levels), '[') + inside +
         std::string(static_cast<std::size_t>(levels), ']');
}

const std::wstring kSize2 = L"QueryFeed: data.size()=2";

INSTANTIATE_TEST_SUITE_P(
    Cases, FeedAnswerQuirks,
    ::testing::Values(
        // The root is level 1, "art" 2, its entries 3, their members 4: 997 arrays in a
        // member reach level 1000, the deepest the reader reads; a value inside them is one
        // level too deep.
        Quirk{"DeepestLevelIsRead",
              "{\"art\":[{\"x\":" + Nested(997, "") + ",\"wall_url\":\"u\"}]}",
              Ends::kResult,
              1,
              {L"||u"},
              {L"QueryFeed: data.size()=1"}},
        Quirk{"OneLevelDeeperRaisesTheReadersError",
              "{\"art\":[{\"wall_url\":\"u\"},{\"x\":" + Nested(997, "1") + "}]}",
              Ends::kRuntimeError,
              0,
              {},
              {}},
        Quirk{"DeepOutsideTheEntriesToo",
              "{\"x\":" + Nested(999, "1") + ",\"art\":[{\"wall_url\":\"u\"}]}",
              Ends::kRuntimeError,
              0,
              {},
              {}},
        // After a comment, whatever token follows serves as the separator.
        Quirk{"CommentMakesAnyTokenASeparator",
              "{\"art\":[{\"wall_url\":\"u1\" /*c*/ \"x\" \"name\":\"n1\"},"
              "{\"wall_url\":\"u2\" // c\n @ \"filename\":\"f2\"}], \"z\":1 /**/ {\"y\":2}",
              Ends::kResult,
              1,
              {L"n1||u1", L"|f2|u2"},
              {kSize2}},
        Quirk{"SeparatorMissingWithoutAComment",
              R"({"art":[{"wall_url":"u1" "name":"n1"}]})",
              Ends::kResult,
              0,
              {},
              {}},
        // A '}' after a comma closes the object only after a member with an empty name.
        Quirk{"CloseAfterCommaFollowingAnEmptyName",
              R"({"art":[{"wall_url":"u","":1,}]})",
              Ends::kResult,
              1,
              {L"||u"},
              {L"QueryFeed: data.size()=1"}},
        Quirk{"CloseAfterCommaFollowingANamedMember",
              R"({"art":[{"":1,"wall_url":"u",}]})",
              Ends::kResult,
              0,
              {},
              {}},
        // Names are compared as they decode; a NUL makes a different name.
        Quirk{"EscapedNamesAreTheirDecodedText",
              "{\"\\u0061rt\":[{\"w\\u0061ll_url\":\"u1\",\"wall_url\\u0000\":\"v\","
              "\"n\\u0061me\":\"a\\u0000b\"},{\"\\u0077all_url\":\"\\/u2\"}]}",
              Ends::kResult,
              1,
              {L"a||u1", L"||/u2"},
              {kSize2}},
        Quirk{"BadEscapeInANameIsRefused",
              R"({"art":[{"wall_url":"u"}],"\x":1})",
              Ends::kResult,
              0,
              {},
              {}},
        Quirk{"UnpairedHighSurrogateIsRefused",
              R"({"art":[{"wall_url":"\ud83dx"}]})",
              Ends::kResult,
              0,
              {},
              {}},
        // Numbers: a plain integer of any length the reader can hold, and the conversions
        // that fail.
        Quirk{"LenientNumbersAreRead",
              R"({"art":[{"n":[1111111111111111111,-9223372036854775808,18446744073709551616,)"
              R"(01,-,1.,-0.5e+3],"wall_url":"u"}]})",
              Ends::kResult,
              1,
              {L"||u"},
              {L"QueryFeed: data.size()=1"}},
        Quirk{"IntegerBeyondADoubleIsRefused",
              "{\"art\":[{\"wall_url\":\"u\"}," + std::string(400, '9') + "]}",
              Ends::kResult,
              0,
              {},
              {}},
        Quirk{"ExponentWithoutDigitsIsRefused",
              R"({"art":[{"wall_url":"u"},1e]})",
              Ends::kResult,
              0,
              {},
              {}},
        Quirk{"TextAfterTheRootIsIgnored",
              R"({"art":[{"wall_url":"u"}]} ] garbage {)",
              Ends::kResult,
              1,
              {L"||u"},
              {L"QueryFeed: data.size()=1"}},
        Quirk{"LastArtMemberCounts",
              R"({"art":[{"wall_url":"u"}],"art":[{"wall_url":"v"},null]})",
              Ends::kResult,
              1,
              {L"||v"},
              {kSize2}},
        Quirk{"RootArrayRaisesTheLogicError",
              R"([{"art":[{"wall_url":"u"}]}])",
              Ends::kLogicError,
              0,
              {},
              {}},
        // An "art" object counts its distinct names, then its first index raises.
        Quirk{"ArtObjectCountsDistinctDecodedNames",
              R"({"art":{"a":1,"\u0061":2,"b":[],"a\u0000":3,"\ud83d\ude00":4,"\ud83d\u0041":5}})",
              Ends::kLogicError,
              0,
              {},
              {L"QueryFeed: data.size()=5"}},
        Quirk{"EntryTypedWrongAfterGoodOnes",
              R"({"art":[{"wall_url":"u1"},{"wall_url":"u2","name":{"x":[1]}},{"wall_url":"u3"}]})",
              Ends::kLogicError,
              0,
              {L"||u1"},
              {L"QueryFeed: data.size()=3"}}),
    [](const ::testing::TestParamInfo<Quirk>& info) { return info.param.title; });

TEST_F(FeedAnswerTest, StopBeforeTheReadingEndsItAtOnce) {
  const std::atomic<int32_t> stop{1};
  COrvellaItemList items;
  items.push_back({L"old", L"", L"http://old"});
  EXPECT_EQ(ReadFeedAnswer(R"({"art":[{"wall_url":"u"}]})", kFeedTypeWallpapers, items, &stop), 0);
  EXPECT_EQ(items.size(), 1u);  // as it was
  EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"QueryFeed: stopped while reading the answer"});
}

// The stop set once the entries' loop begins (when the size line is written): no item of
// the answer is kept, however many entries were read.
TEST_F(FeedAnswerTest, StopDuringTheEntriesKeepsNoItem) {
  static std::atomic<int32_t> stop{0};
  static std::atomic<bool> armed{true};
  static const HostCallback callback = FakeHost::callback();
  SetLogCallback([](uint32_t op, uintptr_t a, uintptr_t b) -> intptr_t {
    const auto* line = reinterpret_cast<const wchar_t*>(b);
    if (op == kHostOpLog && armed && std::wstring(line).starts_with(L"QueryFeed: data")) stop = 1;
    return callback(op, a, b);
  });
  std::string text = "{\"art\":[";
  for (int i = 0; i < 1000; ++i) text += "{\"wall_url\":\"u" + std::to_string(i) + "\"},";
  text += "null]}";
  COrvellaItemList items;
  EXPECT_EQ(ReadFeedAnswer(text, kFeedTypeWallpapers, items, &stop), 0);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(host.logs(),
            (std::vector<std::wstring>{L"QueryFeed: data.size()=1001",
                                       L"QueryFeed: stopped while reading the answer"}));
  armed = false;
  stop = 0;
  EXPECT_EQ(ReadFeedAnswer(text, kFeedTypeWallpapers, items, &stop), 1);
  EXPECT_EQ(items.size(), 1000u);
}

}  // namespace
}  // namespace orvella::test
