// ReadFeedAnswer: the items of an art endpoint answer, read entry by entry.
#include "service/feed_answer.h"

#include <json/json.h>

#include <exception>

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

int32_t ReadFeedAnswer(std::string_view text, int32_t type, COrvellaItemList& items) {
  ArtEntries split;
  if (!SplitArtEntries(text, split)) return ReadFeedAnswerAsOneTree(text, type, items);
  Json::Reader reader;
  {
    Json::Value frame;
    if (!Parse(reader, split.frame, frame)) return 0;
    const Json::Value& art = frame["art"];
    // The split and the reader agree by construction; should they not, the one tree is
    // the reference.
    if (!art.isArray() || art.size() != split.entries.size()) {
      return ReadFeedAnswerAsOneTree(text, type, items);
    }
  }
  split.frame = std::string();

  // Every entry must be read before the first log line or item: an answer the reader
  // refuses anywhere gives no item and no line, and the first wrongly typed entry's error
  // is raised only then, after the items before it.
  const char* urlMember = UrlMember(type);
  COrvellaItemList read;
  std::exception_ptr typeError;
  Json::Value entry;
  for (const std::string_view piece : split.entries) {
    if (!Parse(reader, piece, entry)) return 0;
    if (typeError) continue;
    try {
      AppendItem(entry, urlMember, read);
    } catch (const Json::LogicError&) {
      typeError = std::current_exception();
    }
  }
  WriteLog(L"QueryFeed: data.size()=%d", split.entries.size());
  items.splice(items.end(), read);
  if (typeError) std::rethrow_exception(typeError);
  return 1;
}

}  // namespace orvella
