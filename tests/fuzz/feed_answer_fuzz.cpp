// libFuzzer target: a feed answer read entry by entry must give exactly what one tree of the
// whole answer gives (result or error, items, log lines), for both feed types.
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "base/write_log.h"
#include "service/feed_answer.h"

namespace {

std::vector<std::wstring> g_logs;

intptr_t CollectLog(uint32_t op, uintptr_t, uintptr_t line) {
  if (op == orvella::kHostOpLog) g_logs.emplace_back(reinterpret_cast<const wchar_t*>(line));
  return 0;
}

// The items and log lines as wide text, each field ended by a NUL so no two lists print alike.
std::wstring Trace(const orvella::COrvellaItemList& items) {
  std::wstring trace;
  for (const orvella::COrvellaItem& item : items) {
    trace += L"item:" + item.name + L'\0' + item.filename + L'\0' + item.url + L'\0';
  }
  for (const std::wstring& line : g_logs) trace += L"log:" + line + L'\0';
  return trace;
}

std::wstring Outcome(std::string_view text, int32_t type, bool oneTree) {
  orvella::COrvellaItemList items;
  g_logs.clear();
  std::string result;
  try {
    const int32_t read = oneTree ? orvella::ReadFeedAnswerAsOneTree(text, type, items)
                                 : orvella::ReadFeedAnswer(text, type, items);
    result = "result " + std::to_string(read);
  } catch (const Json::LogicError& e) {
    result = std::string("logic error ") + e.what();
  } catch (const Json::RuntimeError& e) {
    result = std::string("runtime error ") + e.what();
  }
  return std::wstring(result.begin(), result.end()) + L'\0' + Trace(items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool logging = (orvella::SetLogCallback(&CollectLog), true);
  (void)logging;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const int32_t type : {orvella::kFeedTypeWallpapers, orvella::kFeedTypeClocks}) {
    if (Outcome(text, type, false) != Outcome(text, type, true)) {
      std::fprintf(stderr, "feed answer: entry-by-entry and one-tree readings differ (type %d)\n",
                   static_cast<int>(type));
      std::abort();
    }
  }
  return 0;
}
