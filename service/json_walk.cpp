// The walk behind WalkJsonValue. Its token scanner and its grammar follow the JSON reader
// step for step, quirks included, because any difference would make the walk accept an
// answer the reader refuses, or the other way round:
// - a number token is any run of digits, '.', 'e' and signs the reader would take ("-",
//   "01" and "1." among them); an unterminated comment or string is an error token; a NUL
//   byte reads as the end of the text;
// - an array is empty only when ']' follows after blanks; comments may follow any element;
// - in an object, a comment after a member makes the next token the separator, whatever
//   it is; a '}' where a member name should be closes the object only when the member
//   before had an empty name (or there was none);
// - the depth limit is checked before each value is read, scalars included.
// Strings and numbers are given to the reader itself, one token at a time, whenever it could
// refuse them (an escape, a number that is not a plain integer) or a sink wants their value.
#include "service/json_walk.h"

#include <cstring>

namespace orvella {
namespace {

enum class Token {
  kObjectBegin,
  kObjectEnd,
  kArrayBegin,
  kArrayEnd,
  kString,
  kNumber,
  kTrue,
  kFalse,
  kNull,
  kComma,
  kColon,
  kComment,
  kEnd,
  kError,
};

class Tokens {
 public:
  explicit Tokens(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {}

  Token Next() {
    SkipSpaces();
    start_ = at_;
    switch (Get()) {
      case '{':
        return Token::kObjectBegin;
      case '}':
        return Token::kObjectEnd;
      case '[':
        return Token::kArrayBegin;
      case ']':
        return Token::kArrayEnd;
      case '"':
        return String() ? Token::kString : Token::kError;
      case '/':
        return Comment() ? Token::kComment : Token::kError;
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
      case '-':
        Number();
        return Token::kNumber;
      case 't':
        return Match("rue") ? Token::kTrue : Token::kError;
      case 'f':
        return Match("alse") ? Token::kFalse : Token::kError;
      case 'n':
        return Match("ull") ? Token::kNull : Token::kError;
      case ',':
        return Token::kComma;
      case ':':
        return Token::kColon;
      case '\0':
        return Token::kEnd;
      default:
        return Token::kError;
    }
  }

  Token NextSkippingComments() {
    Token token;
    do {
      token = Next();
    } while (token == Token::kComment);
    return token;
  }

  /// True when the next character after blanks is `c` (the reader's test for "[]").
  bool NextCharIs(char c) {
    SkipSpaces();
    return at_ != end_ && *at_ == c;
  }

  /// The last token read.
  std::string_view token() const {
    return std::string_view(start_, static_cast<std::size_t>(at_ - start_));
  }

 private:
  char Get() { return at_ == end_ ? '\0' : *at_++; }

  void SkipSpaces() {
    while (at_ != end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\r' || *at_ == '\n')) ++at_;
  }

  bool Match(std::string_view rest) {
    if (end_ - at_ < static_cast<std::ptrdiff_t>(rest.size())) return false;
    if (std::memcmp(at_, rest.data(), rest.size()) != 0) return false;
    at_ += rest.size();
    return true;
  }

  // A backslash takes the next character with it, whatever it is.
  bool String() {
    char c = '\0';
    while (at_ != end_) {
      c = Get();
      if (c == '\\') {
        Get();
      } else if (c == '"') {
        break;
      }
    }
    return c == '"';
  }

  bool Comment() {
    const char c = Get();
    if (c == '*') {
      while (at_ + 1 < end_) {
        if (Get() == '*' && *at_ == '/') break;
      }
      return Get() == '/';
    }
    if (c != '/') return false;
    while (at_ != end_) {
      const char d = Get();
      if (d == '\n') break;
      if (d == '\r') {
        if (at_ != end_ && *at_ == '\n') Get();
        break;
      }
    }
    return true;
  }

  // Digits, then a '.' and digits, then 'e' or 'E' with an optional sign and digits; the
  // first character (a digit or '-') is already taken.
  void Number() {
    auto digits = [this] {
      while (at_ != end_ && *at_ >= '0' && *at_ <= '9') ++at_;
    };
    digits();
    if (at_ != end_ && *at_ == '.') {
      ++at_;
      digits();
    }
    if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
      ++at_;
      if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
      digits();
    }
  }

  const char* at_;
  const char* end_;
  const char* start_ = nullptr;
};

// A number token the reader decodes as a 64-bit integer, so it never refuses it: an
// optional '-' and at most 18 digits ("-" alone reads as 0). Anything else may go through
// its conversion to a double, which can fail ("1e", "1e999", 400 nines).
bool PlainInteger(std::string_view token) {
  const std::size_t first = token.starts_with('-') ? 1 : 0;
  if (token.size() - first > 18) return false;
  for (std::size_t at = first; at < token.size(); ++at) {
    if (token[at] < '0' || token[at] > '9') return false;
  }
  return true;
}

// The bytes a string token decodes to, one at a time, as the reader decodes them: the
// JSON escapes, "\u" with a high surrogate taking the next "\u" escape as its low half
// (whatever that holds), code points as UTF-8. Only for tokens the reader accepted; on
// anything else it ends early rather than read past the token.
class DecodedBytes {
 public:
  explicit DecodedBytes(std::string_view token)
      : at_(token.data() + 1), end_(token.data() + token.size() - 1) {}

  /// Sets `byte` to the next byte and returns true; false at the end.
  bool Next(unsigned char& byte) {
    if (taken_ == held_ && !Fill()) return false;
    byte = held_bytes_[taken_++];
    return true;
  }

 private:
  bool Fill() {
    taken_ = held_ = 0;
    if (at_ >= end_) return false;
    const char c = *at_++;
    if (c != '\\') return Hold(static_cast<unsigned char>(c));
    if (at_ >= end_) return false;
    switch (*at_++) {
      case '"':
        return Hold('"');
      case '/':
        return Hold('/');
      case '\\':
        return Hold('\\');
      case 'b':
        return Hold('\b');
      case 'f':
        return Hold('\f');
      case 'n':
        return Hold('\n');
      case 'r':
        return Hold('\r');
      case 't':
        return Hold('\t');
      case 'u':
        return CodePoint();
      default:
        return false;
    }
  }

  bool Hold(unsigned char byte) {
    held_bytes_[held_++] = byte;
    return true;
  }

  bool Hex4(unsigned int& value) {
    if (end_ - at_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = *at_++;
      value *= 16;
      if (c >= '0' && c <= '9') {
        value += static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value += static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value += static_cast<unsigned>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  bool CodePoint() {
    unsigned int cp = 0;
    if (!Hex4(cp)) return false;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      unsigned int low = 0;
      if (end_ - at_ < 6 || at_[0] != '\\' || at_[1] != 'u') return false;
      at_ += 2;
      if (!Hex4(low)) return false;
      cp = 0x10000 + ((cp & 0x3FF) << 10) + (low & 0x3FF);
    }
    if (cp <= 0x7F) return Hold(static_cast<unsigned char>(cp));
    if (cp <= 0x7FF) {
      Hold(static_cast<unsigned char>(0xC0 | (0x1F & (cp >> 6))));
    } else {
      if (cp <= 0xFFFF) {
        Hold(static_cast<unsigned char>(0xE0 | (0xF & (cp >> 12))));
      } else {
        Hold(static_cast<unsigned char>(0xF0 | (0x7 & (cp >> 18))));
        Hold(static_cast<unsigned char>(0x80 | (0x3F & (cp >> 12))));
      }
      Hold(static_cast<unsigned char>(0x80 | (0x3F & (cp >> 6))));
    }
    return Hold(static_cast<unsigned char>(0x80 | (0x3F & cp)));
  }

  const char* at_;
  const char* end_;
  unsigned char held_bytes_[4] = {};
  int held_ = 0;
  int taken_ = 0;
};

class CJsonWalk {
 public:
  CJsonWalk(std::string_view text, const std::atomic<int32_t>* stop) : tokens_(text), stop_(stop) {}

  WalkResult Value(int depth, CValueSink* sink) {
    if (StopSeen()) return WalkResult::kStopped;
    if (depth > kJsonReaderDepth) throw Json::RuntimeError("Exceeded stackLimit in readValue().");
    const Token first = tokens_.NextSkippingComments();
    const char* start = tokens_.token().data();
    WalkResult result = WalkResult::kAccepted;
    switch (first) {
      case Token::kObjectBegin:
        if (sink != nullptr) sink->Begin(Json::objectValue, start);
        result = Object(depth, sink);
        break;
      case Token::kArrayBegin:
        if (sink != nullptr) sink->Begin(Json::arrayValue, start);
        result = Array(depth, sink);
        break;
      case Token::kString:
      case Token::kNumber:
        result = Leaf(first, sink) ? WalkResult::kAccepted : WalkResult::kRefused;
        break;
      case Token::kTrue:
      case Token::kFalse:
      case Token::kNull:
        if (sink != nullptr) Report(sink, Literal(first), start);
        break;
      default:
        return WalkResult::kRefused;
    }
    if (result == WalkResult::kAccepted && sink != nullptr) sink->End();
    return result;
  }

 private:
  // Stop checks stay in this one place: a relaxed load per value costs nothing next to
  // reading the value.
  bool StopSeen() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed) != 0; }

  static Json::Value Literal(Token token) {
    if (token == Token::kNull) return Json::Value();
    return Json::Value(token == Token::kTrue);
  }

  static void Report(CValueSink* sink, const Json::Value& value, const char* start) {
    sink->Begin(value.type(), start);
    sink->Scalar(value);
  }

  // The reader's view of one string or number token: false where it refuses it. A sink
  // gets the value the reader makes of it.
  bool Leaf(Token kind, CValueSink* sink) {
    const std::string_view token = tokens_.token();
    const bool plain =
        kind == Token::kString ? token.find('\\') == std::string_view::npos : PlainInteger(token);
    if (plain && sink == nullptr) return true;
    if (!leafReader_.parse(token.data(), token.data() + token.size(), leaf_, false)) return false;
    if (sink != nullptr) Report(sink, leaf_, token.data());
    return true;
  }

  // The reader's readObject; the object's '{' is read.
  WalkResult Object(int depth, CValueSink* sink) {
    bool previousNameEmpty = true;  // the reader keeps the last member's name here
    for (;;) {
      Token name = tokens_.Next();
      while (name == Token::kComment) name = tokens_.Next();
      if (name == Token::kObjectEnd && previousNameEmpty) return WalkResult::kAccepted;
      if (name != Token::kString) return WalkResult::kRefused;
      const std::string_view token = tokens_.token();
      previousNameEmpty = token.size() == 2;  // every escape decodes to at least one byte
      CValueSink* memberSink = nullptr;
      if (!MemberName(token, sink, memberSink)) return WalkResult::kRefused;
      if (tokens_.Next() != Token::kColon) return WalkResult::kRefused;
      const WalkResult member = Value(depth + 1, memberSink);
      if (member != WalkResult::kAccepted) return member;
      Token comma = tokens_.Next();
      if (comma != Token::kObjectEnd && comma != Token::kComma && comma != Token::kComment) {
        return WalkResult::kRefused;
      }
      while (comma == Token::kComment) comma = tokens_.Next();
      if (comma == Token::kObjectEnd) return WalkResult::kAccepted;
    }
  }

  // Checks a member's name as the reader decodes it (false: refused) and asks the sink for
  // the member's sink.
  bool MemberName(std::string_view token, CValueSink* sink, CValueSink*& memberSink) {
    const bool escaped = token.find('\\') != std::string_view::npos;
    if (escaped && !leafReader_.parse(token.data(), token.data() + token.size(), leaf_, false)) {
      return false;
    }
    if (sink == nullptr) return true;
    if (!escaped) {
      memberSink = sink->Member(token.substr(1, token.size() - 2), token);
    } else {
      memberSink = sink->Member(DecodedString(token), token);
    }
    return true;
  }

  // The reader's readArray; the array's '[' is read.
  WalkResult Array(int depth, CValueSink* sink) {
    if (tokens_.NextCharIs(']')) {
      tokens_.Next();
      return WalkResult::kAccepted;
    }
    for (;;) {
      const WalkResult element = Value(depth + 1, sink != nullptr ? sink->Element() : nullptr);
      if (element != WalkResult::kAccepted) return element;
      Token after = tokens_.Next();
      while (after == Token::kComment) after = tokens_.Next();
      if (after == Token::kArrayEnd) return WalkResult::kAccepted;
      if (after != Token::kComma) return WalkResult::kRefused;
    }
  }

  Tokens tokens_;
  const std::atomic<int32_t>* stop_;
  Json::Reader leafReader_;
  Json::Value leaf_;
};

}  // namespace

WalkResult WalkJsonValue(std::string_view text, int depth, CValueSink* sink,
                         const std::atomic<int32_t>* stop) {
  CJsonWalk walk(text, stop);
  return walk.Value(depth, sink);
}

bool SameDecodedString(std::string_view first, std::string_view second, bool& less) {
  DecodedBytes a(first);
  DecodedBytes b(second);
  for (;;) {
    unsigned char x = 0;
    unsigned char y = 0;
    const bool moreA = a.Next(x);
    const bool moreB = b.Next(y);
    if (!moreA || !moreB || x != y) {
      less = moreA != moreB ? moreB : x < y;
      return moreA == moreB && x == y;
    }
  }
}

std::string DecodedString(std::string_view token) {
  std::string text;
  DecodedBytes bytes(token);
  for (unsigned char byte = 0; bytes.Next(byte);) text += static_cast<char>(byte);
  return text;
}

std::string_view StringTokenAt(std::string_view text, const char* start) {
  Tokens tokens(text.substr(static_cast<std::size_t>(start - text.data())));
  tokens.Next();
  return tokens.token();
}

}  // namespace orvella
