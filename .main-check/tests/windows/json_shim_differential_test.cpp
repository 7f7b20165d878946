// JsonCpp's API over nlohmann-json (the mingw build's JSON library) against JsonCpp
// itself: the service client's JSON paths, built once with each, over one corpus of
// documents: every JSON answer written in the test sources, documents that probe the
// reader's corners, generated answers, and mutations of all of them. Both builds must
// give the same results, items, log lines and errors for every document.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

// The text of a C++ string literal's body, escapes resolved.
std::string Unescape(const std::string& body) {
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 >= body.size()) {
      out += body[i];
      continue;
    }
    const char c = body[++i];
    switch (c) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '0':
        out += '\0';
        break;
      case 'x': {
        int value = 0;
        for (int digits = 0; digits < 2 && i + 1 < body.size() &&
                             std::isxdigit(static_cast<unsigned char>(body[i + 1]));
             ++digits) {
          const char h = body[++i];
          value = value * 16 +
                  (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 0x20) - 'a' + 10);
        }
        out += static_cast<char>(value);
        break;
      }
      default:
        out += c;
        break;
    }
  }
  return out;
}

// Every string literal of `source` that reads as the start of a JSON document.
std::vector<std::string> JsonLiterals(const std::string& source) {
  std::vector<std::string> found;
  auto keep = [&](const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && (text[first] == '{' || text[first] == '[')) {
      found.push_back(text);
    }
  };
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source.compare(i, 2, "R\"") == 0) {
      const std::size_t open = source.find('(', i + 2);
      if (open == std::string::npos) break;
      const std::string close = ")" + source.substr(i + 2, open - i - 2) + "\"";
      const std::size_t end = source.find(close, open + 1);
      if (end == std::string::npos) break;
      keep(source.substr(open + 1, end - open - 1));
      i = end + close.size() - 1;
    } else if (source[i] == '"' && (i == 0 || source[i - 1] != '\'')) {
      std::size_t end = i + 1;
      while (end < source.size() && source[end] != '"' && source[end] != '\n') {
        end += source[end] == '\\' ? 2 : 1;
      }
      if (end >= source.size() || source[end] != '"') continue;
      keep(Unescape(source.substr(i + 1, end - i - 1)));
      i = end;
    }
  }
  return found;
}

std::vector<std::string> AnswersOfTheTests() {
  std::vector<std::string> answers;
  for (const char* folder : {"tests/service", "tests/engine", "tests/e2e", "tests/ui"}) {
    const fs::path root = fs::path(ORVELLA_SOURCE_DIR) / folder;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      for (std::string& answer : JsonLiterals(text.str())) answers.push_back(std::move(answer));
    }
  }
  return answers;
}

// Documents aimed at the reader's corners: what it accepts that strict JSON does not,
// and where it stops.
std::vector<std::string> CornerDocuments() {
  std::vector<std::string> docs = {
      "",
      " ",
      "null",
      "[]",
      "{}",
      "0",
      "\"text\"",
      "true",
      "false",
      "{\"art\":[]}",
      "{\"art\":{}}",
      "{\"art\":null}",
      "{\"art\":5}",
      "{\"art\":\"x\"}",
      "{\"art\":{\"a\":1}}",
      "{\"art\":[null]}",
      "{\"art\":[1]}",
      "{\"art\":[[]]}",
      "{\"art\":[{\"wall_url\":null}]}",
      "{\"art\":[{\"wall_url\":7}]}",
      "{\"art\":[{\"name\":\"a\",\"filename\":\"a.jpg\",\"wall_url\":\"u1\"},{\"name\":\"b\"},"
      "{\"wall_url\":\"u2\"}]}",
      "{\"art\":[{\"clock_url\":\"c\",\"wall_url\":\"w\"}]}",
      "{\"user_name\":\"Ann\",\"user_token\":\"t0k\"}",
      "{\"user_name\":\"Ann\"}",
      "{\"user_name\":1}",
      "{\"user_name\":\"a\",\"user_token\":[]}",
      "[1,2]",
      "12",
      // comments, trailing text, lenient numbers
      "// c\n{\"art\":[]}",
      "/* c */{\"art\":[]}/* d */",
      "{/*c*/\"art\"/*c*/:/*c*/[]/*c*/}",
      "{\"art\":[] /* x */ , \"b\":1}",
      "{\"art\":[]} trailing",
      "{\"art\":[]}}",
      "/x",
      "/* unterminated",
      "{\"art\":[1 /*c*/ ,2]}",
      "{\"art\":[1, /*c*/ 2]}",
      "[-]",
      "[01]",
      "[1.]",
      "[-.5]",
      "[1e]",
      "[1e+]",
      "[1e5]",
      "[-e5]",
      "[1.5e-3]",
      "[1e999]",
      "[-1e999]",
      "[1e-999]",
      "[123456789012345678901234567890]",
      "[9223372036854775807]",
      "[9223372036854775808]",
      "[-9223372036854775808]",
      "[-9223372036854775809]",
      "[18446744073709551615]",
      "[18446744073709551616]",
      "[" + std::string(400, '9') + "]",
      "[0x10]",
      "[+1]",
      "[.5]",
      "[Infinity]",
      "[NaN]",
      // strings: escapes, surrogates, raw bytes
      "{\"art\":[{\"wall_url\":\"a\\u0041\\n\\t\\/\\\\\\\"\"}]}",
      "{\"art\":[{\"wall_url\":\"\\u00e9\\u20ac\\ud83d\\ude00\"}]}",
      "{\"art\":[{\"wall_url\":\"\\ud800\\u0041\"}]}",
      "{\"art\":[{\"wall_url\":\"\\udc00\"}]}",
      "{\"art\":[{\"wall_url\":\"\\ud800\"}]}",
      "{\"art\":[{\"wall_url\":\"\\ud800x\\u0041\"}]}",
      "{\"art\":[{\"wall_url\":\"\\u12\"}]}",
      "{\"art\":[{\"wall_url\":\"\\u12g4\"}]}",
      "{\"art\":[{\"wall_url\":\"\\q\"}]}",
      "{\"art\":[{\"wall_url\":\"a\\u0000b\"}]}",
      "{\"art\":[{\"wall_url\":\"caf\xc3\xa9 \xe9\xff\x80\"}]}",
      "{\"art\":[{\"wall_url\":\"raw\nline\ttab\"}]}",
      "{\"art\":[{\"wall_url\":\"unterminated",
      "{\"art\":[{\"wall_url\":\"end\\",
      "{\"ar\\u0074\":[]}",
      "{\"art\\u0000x\":[]}",
      // objects: duplicates, the empty-name quirk, separators
      "{\"art\":[],\"art\":null}",
      "{\"art\":null,\"art\":[]}",
      "{\"\":1,}",
      "{\"a\":1,}",
      "{,}",
      "{\"art\" []}",
      "{\"art\":[],}",
      "{\"art\":[1,]}",
      "{\"art\":[,1]}",
      "{art:[]}",
      "{1:2}",
      "{\"art\":[]",
      "{\"art\":[",
      "[",
      "{",
      "]",
      "}",
      ",",
      ":",
      "{\"art\":tru}",
      "{\"art\":nul}",
      "{\"art\":True}",
      "nulll",
      "\x01",
      std::string("\0", 1),
      std::string("{\"art\":[]}\0garbage", 18),
      std::string("{\"art\":[{\"wall_url\":\"a\0b\"}]}", 27),
  };
  // Answers read entry by entry: what lies between, around and right after the entries.
  for (const char* doc : {
           "{\"art\":[{\"wall_url\":\"a\"}/*c*/,//d\n{\"wall_url\":\"b\"} ]}",
           "{\"art\":[ /*c*/ {\"wall_url\":\"a\"}]}",
           "{\"art\":[/*c*/]}",
           "{\"art\":[ ]}",
           "{\"art\":[{}e]}",
           "{\"art\":[{}5]}",
           "{\"art\":[{}.5]}",
           "{\"art\":[{}\"x\"]}",
           "{\"art\":[{}null]}",
           "{\"art\":[1e,2]}",
           "{\"art\":[1.5e+3e]}",
           "{\"art\":[-]}",
           "{\"art\":[{\"wall_url\":\"a\"},{\"wall_url\":\"b\"]]}",
           "{\"art\":[{\"wall_url\":\"a\"}]]}",
           "{\"art\":[{\"wall_url\":\"a\"}],\"art\":[{\"wall_url\":\"b\"}]}",
           "{\"art\":[{\"wall_url\":\"a\"}],\"art\":5}",
           "{\"art\":5,\"art\":[{\"wall_url\":\"b\"}]}",
           "{\"x\":[1,{\"art\":2}],\"art\":[{\"wall_url\":\"a\"}],\"y\":{\"art\":[]}}",
           "{\"ar\\u0074\":[{\"wall_url\":\"a\"}]}",
           "{\"art\":[{\"wall_url\":\"a\"},7,{\"wall_url\":\"b\"}]}",
           "{\"art\":[{\"wall_url\":\"a\"},{\"wall_url\":7},{\"wall_url\":\"b\"}]}",
           "{\"art\":[{\"wall_url\":7},{\"wall_url\":\"b\"},{]}",
           "{\"art\":[{\"wall_url\":\"a\"},{\"wall_url\":\"b\"}],}",
           "{\"art\":[{\"wall_url\":\"a\"}]} /* unterminated",
           "{\"art\":[{\"wall_url\":\"a\"}]}]",
           "{\"art\":[{\"wall_url\":\"a/*\"},\"*/\"]}",
           "{\"art\":[\"\\\"]\"]}",
           "{\"art\":[{\"wall_url\":\"a\"}/*/,{\"wall_url\":\"b\"}]}",
       }) {
    docs.push_back(doc);
  }
  // Entries nested around the depth at which an answer is read as one tree instead.
  for (int depth : {60, 61, 62, 63, 64, 65, 998}) {
    docs.push_back("{\"art\":[" + std::string(depth, '[') + std::string(depth, ']') + "]}");
    docs.push_back("{\"art\":[{\"wall_url\":\"a\"}],\"b\":" + std::string(depth, '[') +
                   std::string(depth, ']') + "}");
  }
  // Nesting around the reader's limit of 1000 values deep, with and without content.
  for (int depth : {998, 999, 1000, 1001, 1002}) {
    docs.push_back(std::string(depth, '[') + std::string(depth, ']'));
    docs.push_back(std::string(depth, '[') + "1" + std::string(depth, ']'));
    docs.push_back(std::string(depth, '['));
    docs.push_back("{\"art\":" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}");
    std::string objects;
    for (int i = 0; i < depth; ++i) objects += "{\"a\":";
    docs.push_back(objects + "1" + std::string(depth, '}'));
  }
  return docs;
}

// A random answer-shaped document: an "art" array of entries with the members the client
// reads (sometimes of other types, sometimes absent) and noise around them.
class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  std::string Answer() {
    std::string doc = "{";
    const int members = Pick(4);
    for (int m = 0; m < members; ++m) doc += Quoted(Key()) + ":" + Value(2) + ",";
    doc += Quoted(Pick(10) == 0 ? "arT" : "art") + ":" + Art();
    if (Pick(3) == 0) doc += ",\"user_name\":" + Scalar() + ",\"user_token\":" + Scalar();
    doc += "}";
    return doc;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  std::string Art() {
    switch (Pick(8)) {
      case 0:
        return Value(2);
      case 1:
        return "{" + Quoted("k") + ":" + Value(1) + "}";
      default:
        break;
    }
    std::string art = "[";
    const int entries = Pick(5);
    for (int e = 0; e < entries; ++e) art += (e ? "," : "") + Entry();
    return art + "]";
  }

  std::string Entry() {
    if (Pick(12) == 0) return Value(1);
    std::string entry = "{";
    bool first = true;
    for (const char* member : {"name", "filename", "wall_url", "clock_url", "size"}) {
      if (Pick(4) == 0) continue;
      entry += (first ? "" : ",") + Quoted(member) + ":" + (Pick(6) == 0 ? Value(1) : Text());
      first = false;
    }
    return entry + "}";
  }

  std::string Value(int depth) {
    const int kind = Pick(depth > 0 ? 8 : 6);
    if (kind < 6) return Scalar();
    if (kind == 6) {
      std::string a = "[";
      for (int i = 0, n = Pick(3); i < n; ++i) a += (i ? "," : "") + Value(depth - 1);
      return a + "]";
    }
    std::string o = "{";
    for (int i = 0, n = Pick(3); i < n; ++i)
      o += (i ? "," : "") + Quoted(Key()) + ":" + Value(depth - 1);
    return o + "}";
  }

  std::string Scalar() {
    switch (Pick(6)) {
      case 0:
        return "null";
      case 1:
        return Pick(2) ? "true" : "false";
      case 2:
        return std::to_string(static_cast<int>(random_()) % 100000);
      case 3:
        return "1." + std::to_string(Pick(1000)) + "e" + std::to_string(Pick(40) - 20);
      default:
        return Text();
    }
  }

  std::string Text() {
    static const char* pieces[] = {
        "a",   "b.jpg", "http://127.0.0.1/art/x", " ", "\\u00e9", "\\\"", "\\n", "\xe9", "\xc3\xa9",
        "%20", "?q=1",  "\\ud83d\\ude00"};
    std::string text;
    for (int i = 0, n = Pick(5); i < n; ++i) text += pieces[Pick(12)];
    return Quoted(text);
  }

  std::string Key() {
    static const char* keys[] = {"status", "meta", "name", "x", "", "art2"};
    return keys[Pick(6)];
  }

  static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

  std::mt19937 random_;
};

// Variants of `doc`: cut short, a byte replaced, a token inserted.
void AddMutations(const std::string& doc, std::mt19937& random, std::vector<std::string>& out) {
  static const std::vector<std::string> inserts = {"/*c*/",
                                                   "//c\n",
                                                   ",",
                                                   ":",
                                                   "[",
                                                   "]",
                                                   "{",
                                                   "}",
                                                   "\"",
                                                   "\\",
                                                   "-",
                                                   "0",
                                                   "1e999",
                                                   "null",
                                                   "\\u",
                                                   "\\ud800",
                                                   std::string("\0", 1),
                                                   "\xff",
                                                   " "};
  static const char bytes[] = {'"', '\\', '/', '*', ',', ':', '[',  ']',    '{', '}',
                               '-', '.',  'e', '0', 'x', ' ', '\n', '\x80', '\0'};
  if (doc.empty()) return;
  std::uniform_int_distribution<std::size_t> position(0, doc.size() - 1);
  const std::size_t cuts = std::min<std::size_t>(doc.size(), 10);
  for (std::size_t k = 0; k < cuts; ++k) {
    out.push_back(doc.substr(0, doc.size() <= 10 ? k : position(random)));
  }
  for (int k = 0; k < 6; ++k) {
    std::string changed = doc;
    changed[position(random)] = bytes[random() % sizeof bytes];
    out.push_back(std::move(changed));
    std::string inserted = doc;
    inserted.insert(position(random), inserts[random() % inserts.size()]);
    out.push_back(std::move(inserted));
  }
}

std::string RunDriver(const std::string& driver, const fs::path& corpus) {
  const std::string command = "'" + driver + "' '" + corpus.string() + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "<cannot run " + driver + ">";
  std::string out;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (status != 0) out += "<exit status " + std::to_string(status) + ">";
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A driver line "DOCUMENT PATH OUTCOME" as its path and its outcome.
std::pair<std::string, std::string> PathAndOutcome(const std::string& line) {
  const std::size_t path = line.find(' ') + 1;
  const std::size_t outcome = line.find(' ', path);
  if (path == 0 || outcome == std::string::npos) return {"", line};
  return {line.substr(path, outcome - path), line.substr(outcome + 1)};
}

std::string Printable(const std::string& doc) {
  std::string out;
  for (unsigned char c : doc.substr(0, 300)) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return doc.size() > 300 ? out + "..." : out;
}

TEST(JsonShimDifferential, ClientJsonPathsAgreeWithJsonCpp) {
  std::vector<std::string> corpus = AnswersOfTheTests();
  const std::size_t fromTests = corpus.size();
  for (std::string& doc : CornerDocuments()) corpus.push_back(std::move(doc));
  Generator generator(20260101);
  for (int i = 0; i < 400; ++i) corpus.push_back(generator.Answer());
  std::mt19937 random(7);
  const std::size_t seeds = corpus.size();
  for (std::size_t i = 0; i < seeds; ++i) {
    if (corpus[i].size() > 5000) continue;  // the deep documents are mutated enough as they are
    const std::string seed = corpus[i];     // the corpus grows while it is mutated
    AddMutations(seed, random, corpus);
  }

  TempDir dir;
  std::ofstream out(dir / "corpus", std::ios::binary);
  for (const std::string& doc : corpus) out << doc.size() << "\n" << doc;
  out.close();

  const std::vector<std::string> real =
      Lines(RunDriver(ORVELLA_JSON_DRIVER_JSONCPP, dir / "corpus"));
  const std::vector<std::string> shim = Lines(RunDriver(ORVELLA_JSON_DRIVER_SHIM, dir / "corpus"));
  constexpr std::size_t kLines = 7;  // wall, clock, read and tree for both types, authorize
  ASSERT_EQ(real.size(), corpus.size() * kLines) << (real.empty() ? "" : real.back());
  ASSERT_EQ(shim.size(), real.size()) << (shim.empty() ? "" : shim.back());
  int differences = 0;
  for (std::size_t i = 0; i < real.size() && differences < 20; ++i) {
    if (real[i] == shim[i]) continue;
    ++differences;
    ADD_FAILURE() << "document " << i / kLines << ": " << Printable(corpus[i / kLines])
                  << "\n  JsonCpp: " << real[i].substr(0, 400)
                  << "\n  shim:    " << shim[i].substr(0, 400);
  }
  // An answer read entry by entry gives what one tree of it gives, with either library.
  for (const std::vector<std::string>* lines : {&real, &shim}) {
    for (std::size_t i = 0; i + 1 < lines->size() && differences < 20; ++i) {
      const auto [path, outcome] = PathAndOutcome((*lines)[i]);
      if (!path.starts_with("read")) continue;
      const auto [treePath, treeOutcome] = PathAndOutcome((*lines)[i + 1]);
      if (treePath == "tree" + path.substr(4) && outcome == treeOutcome) continue;
      ++differences;
      ADD_FAILURE() << "document " << i / kLines << ": " << Printable(corpus[i / kLines])
                    << "\n  by entry: " << (*lines)[i].substr(0, 400)
                    << "\n  one tree: " << (*lines)[i + 1].substr(0, 400);
    }
  }

  // The corpus reaches every outcome, so agreement means something.
  std::set<std::string> outcomes;
  for (const std::string& line : real) {
    for (const char* outcome :
         {" wall result=1", " wall result=0", " wall LogicError(", " wall RuntimeError(",
          " authorize result=1", " authorize result=0", " item="}) {
      if (line.find(outcome) != std::string::npos) outcomes.insert(outcome);
    }
  }
  EXPECT_EQ(outcomes.size(), 7u);
  RecordProperty("documents", static_cast<int>(corpus.size()));
  RecordProperty("answers_from_tests", static_cast<int>(fromTests));
  std::printf("%zu documents (%zu answers from the test sources), %zu outcomes compared\n",
              corpus.size(), fromTests, real.size());
}

}  // namespace
}  // namespace orvella::test
