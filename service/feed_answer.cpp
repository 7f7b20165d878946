// ReadFeedAnswer: the items of an art endpoint answer, read entry by entry, and the same
// read over one tree of the whole answer.
#include "service/feed_answer.h"

#include <json/json.h>

#include "base/ansi_codepage.h"
#include "base/write_log.h"
#include "service/art_entries.h"

namespace orvella {
namespace {

const char* UrlMember(int32_t type) {
  return type == kFeedTypeClocks ? "clock_url" : "wall_url";
}

std::wstring MemberText(const Json::Value& entry, const char* member) {
  return AnsiToWide(entry.get(member, "").asCString());
}

// Appends the entry's item when it has a URL. Throws Json::LogicError for an entry that
// is neither an object nor null, and for a member read that is not a string.
void AppendItem(const Json::Value& entry, const char* urlMember, COrvellaItemList& items) {
  COrvellaItem item;
  item.name = MemberText(entry, "name");
  item.filename = MemberText(entry, "filename");
  item.url = MemberText(entry, urlMember);
  if (!item.url.empty()) items.push_back(std::move(item));
}

// A stop seen while the answer is read: the query fails as a stopped transfer does.
int32_t StoppedReading() {
  WriteLog(L"QueryFeed: stopped while reading the answer");
  return 0;
}

// The tree's root["art"] on a root that is neither null nor an object: raises the library's
// logic error, as that access does.
void RaiseForRootWithoutMembers(Json::ValueType root) {
  if (root == Json::nullValue || root == Json::objectValue) return;
  Json::Value standIn(root);
  standIn["art"];
}

// Sets `size` to what the tree's art.size() gives: the elements of an array, the distinct
// members of an object, 0 for a scalar.
WalkResult ArtSize(std::string_view text, const AnswerOutline& outline, std::size_t& size,
                   const std::atomic<int32_t>* stop) {
  size = 0;
  if (outline.art == Json::arrayValue) size = outline.artElements;
  if (outline.art != Json::objectValue) return WalkResult::kAccepted;
  return CountArtMembers(text, outline, size, stop);
}

// Appends the items of the "art" array's entries, each read as the tree's entry would be.
// Returns 1; 0 once stopped (nothing appended). The first wrongly typed entry's logic error
// comes through after the items before it were appended.
int32_t ReadArtEntries(std::string_view text, const AnswerOutline& outline, const char* urlMember,
                       COrvellaItemList& items, const std::atomic<int32_t>* stop) {
  COrvellaItemList read;
  WalkResult entries = WalkResult::kAccepted;
  try {
    entries = ForEachArtEntry(
        text, outline, {"name", "filename", urlMember},
        [&](const Json::Value& entry) { AppendItem(entry, urlMember, read); }, stop);
  } catch (const Json::LogicError&) {
    items.splice(items.end(), read);
    throw;
  }
  if (entries == WalkResult::kStopped) return StoppedReading();
  items.splice(items.end(), read);
  return 1;
}

bool Parse(Json::Reader& reader, std::string_view text, Json::Value& root) {
  static const char kNothing[] = "";
  const char* begin = text.empty() ? kNothing : text.data();
  return reader.parse(begin, begin + text.size(), root, true);
}

}  // namespace

int32_t ReadFeedAnswerAsOneTree(std::string_view text, int32_t type, COrvellaItemList& items) {
  Json::Reader reader;
  Json::Value root;
  if (!Parse(reader, text, root)) return 0;
  // Non-const access: a null root reads as an empty object, anything else but an object
  // raises the library's logic error, which the worker's loop handles.
  Json::Value& art = root["art"];
  if (art.isNull()) {
    WriteLog(L"QueryFeed: meta is missing");
    return 0;
  }
  WriteLog(L"QueryFeed: data.size()=%d", art.size());
  const char* urlMember = UrlMember(type);
  for (Json::ArrayIndex i = 0; i < art.size(); ++i) {
    AppendItem(art[i], urlMember, items);  // an object "art" raises the logic error here
  }
  return 1;
}

int32_t ReadFeedAnswer(std::string_view text, int32_t type, COrvellaItemList& items,
                       const std::atomic<int32_t>* stop) {
  AnswerOutline outline;
  const WalkResult walked = OutlineAnswer(text, outline, stop);
  if (walked != WalkResult::kAccepted) return walked == WalkResult::kStopped ? StoppedReading() : 0;
  RaiseForRootWithoutMembers(outline.root);
  if (!outline.hasArt || outline.art == Json::nullValue) {
    WriteLog(L"QueryFeed: meta is missing");
    return 0;
  }
  std::size_t size = 0;
  if (ArtSize(text, outline, size, stop) == WalkResult::kStopped) return StoppedReading();
  WriteLog(L"QueryFeed: data.size()=%d", static_cast<Json::ArrayIndex>(size));
  if (outline.art == Json::objectValue && size > 0) {
    Json::Value standIn(Json::objectValue);
    standIn[0u];  // raises the library's logic error, as the tree's art[0] does
  }
  if (outline.art != Json::arrayValue) return 1;
  return ReadArtEntries(text, outline, UrlMember(type), items, stop);
}

}  // namespace orvella
