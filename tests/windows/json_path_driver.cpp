// Runs the service client's JSON paths (QueryFeed for a wallpaper and a clock feed, the
// feed answer read entry by entry and as one tree for both, Authorize) over every
// document of a corpus and prints what each did, one line per document and path. The program is
// built twice from the same client sources: once with JsonCpp, once with JsonCpp's API over
// nlohmann-json. Their outputs must be equal.
//
//   json-path-driver CORPUS    (CORPUS: records of a decimal length, '\n', the bytes)
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "base/write_log.h"
#include "net/http_fetch.h"
#include "service/feed_answer.h"
#include "service/orvella_client.h"

namespace orvella {

namespace {
// The answer every fetch of this program gets.
const std::string* g_answer = nullptr;
}  // namespace

// Stands in for the platform's HTTP stack: the answer is the current document.
int32_t FetchUrlWatched(const std::wstring&, const FetchWatch&, char*& block, uint32_t& length,
                        FetchReply* reply) {
  if (reply != nullptr) *reply = FetchReply{200, ""};
  block = nullptr;
  length = static_cast<uint32_t>(g_answer->size());
  if (length == 0) return kFetchOk;
  block = static_cast<char*>(std::malloc(length + 1));
  std::memcpy(block, g_answer->data(), length);
  block[length] = '\0';
  return kFetchOk;
}

}  // namespace orvella

namespace {

std::vector<std::wstring> g_logs;

intptr_t CollectLog(uint32_t op, uintptr_t, uintptr_t line) {
  if (op == orvella::kHostOpLog) g_logs.emplace_back(reinterpret_cast<const wchar_t*>(line));
  return 0;
}

// Wide text as hexadecimal code units, so any character prints unambiguously.
std::string Hex(const std::wstring& text) {
  std::string out;
  char unit[16];
  for (wchar_t c : text) {
    std::snprintf(unit, sizeof unit, "%x.", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

std::string Logs() {
  std::string out;
  for (const std::wstring& line : g_logs) out += " log=" + Hex(line);
  return out;
}

// What `run` did with a fresh item list: its result or the error it raised, the items
// and the log lines.
std::string Outcome(const std::function<int32_t(orvella::COrvellaItemList&)>& run) {
  orvella::COrvellaItemList items;
  g_logs.clear();
  std::string outcome;
  try {
    outcome = "result=" + std::to_string(run(items));
  } catch (const Json::LogicError& e) {
    outcome = std::string("LogicError(") + e.what() + ")";
  } catch (const Json::RuntimeError& e) {
    outcome = std::string("RuntimeError(") + e.what() + ")";
  } catch (const Json::Exception& e) {
    outcome = std::string("Exception(") + e.what() + ")";
  } catch (const std::exception& e) {
    outcome = std::string("std::exception(") + e.what() + ")";
  }
  for (const orvella::COrvellaItem& item : items) {
    outcome += " item=" + Hex(item.name) + "|" + Hex(item.filename) + "|" + Hex(item.url);
  }
  return outcome + Logs();
}

std::string QueryFeedOutcome(int32_t type) {
  return Outcome([type](orvella::COrvellaItemList& items) {
    orvella::COrvellaClient client(L"tok", L"user");
    orvella::COrvellaFeed feed(type, 5, L"");
    struct ItemsBack {  // the feed's items reach the caller's list, error or not
      ~ItemsBack() { out.splice(out.end(), in); }
      orvella::COrvellaItemList& in;
      orvella::COrvellaItemList& out;
    } back{feed.items, items};
    return client.QueryFeed(feed, 1920, 1080);
  });
}

// The answer read entry by entry, or as one tree, as QueryFeed is given it: up to its
// first NUL byte.
std::string ReadOutcome(int32_t type, bool oneTree) {
  const std::string_view text(orvella::g_answer->c_str());
  return Outcome([&](orvella::COrvellaItemList& items) {
    return oneTree ? orvella::ReadFeedAnswerAsOneTree(text, type, items)
                   : orvella::ReadFeedAnswer(text, type, items);
  });
}

std::string AuthorizeOutcome() {
  orvella::COrvellaClient client(L"old-token", L"old-user");
  g_logs.clear();
  std::string outcome;
  try {
    outcome = "result=" + std::to_string(client.Authorize(L"a@b.c", L"secret"));
  } catch (...) {
    outcome = "escaped";  // Authorize must catch everything the library raises
  }
  return outcome + " user=" + Hex(client.userName) + " token=" + Hex(client.token) +
         " error=" + Hex(client.errorText) + Logs();
}

std::vector<std::string> ReadCorpus(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> documents;
  std::string count;
  while (std::getline(in, count)) {
    std::string document(std::strtoul(count.c_str(), nullptr, 10), '\0');
    in.read(document.data(), static_cast<std::streamsize>(document.size()));
    documents.push_back(std::move(document));
  }
  return documents;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: json-path-driver CORPUS\n");
    return 2;
  }
  orvella::SetLogCallback(&CollectLog);
  const std::vector<std::string> documents = ReadCorpus(argv[1]);
  std::ostringstream out;
  for (std::size_t i = 0; i < documents.size(); ++i) {
    orvella::g_answer = &documents[i];
    out << i << " wall " << QueryFeedOutcome(orvella::kFeedTypeWallpapers) << "\n";
    out << i << " clock " << QueryFeedOutcome(orvella::kFeedTypeClocks) << "\n";
    for (const int32_t type : {orvella::kFeedTypeWallpapers, orvella::kFeedTypeClocks}) {
      out << i << " read" << type << " " << ReadOutcome(type, false) << "\n";
      out << i << " tree" << type << " " << ReadOutcome(type, true) << "\n";
    }
    out << i << " authorize " << AuthorizeOutcome() << "\n";
  }
  std::fwrite(out.str().data(), 1, out.str().size(), stdout);
  return 0;
}
