// The token scanner behind SplitArtEntries. Its rules are the JSON reader's own, quirks
// included (a number token is any run of digits, '.', 'e' and signs the reader would
// take; an unterminated comment or string is an error token), because a cut at any other
// place could make the pieces acceptable where the whole answer is not. Anything it does
// not expect ends the split, and the caller reads the answer as one tree.
#include "service/art_entries.h"

#include <cstring>

namespace orvella {
namespace {

// Values nested deeper than this are left to the reader as one tree (the reader's own
// depth limit counts from the root, which a piece read on its own would not see).
constexpr int kMaxDepth = 64;

enum class Token {
  kObjectBegin,
  kObjectEnd,
  kArrayBegin,
  kArrayEnd,
  kString,
  kNumber,
  kLiteral,  // true, false, null
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
        return Match("rue") ? Token::kLiteral : Token::kError;
      case 'f':
        return Match("alse") ? Token::kLiteral : Token::kError;
      case 'n':
        return Match("ull") ? Token::kLiteral : Token::kError;
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

  const char* start() const { return start_; }
  const char* at() const { return at_; }

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

// Skips the rest of a value whose first token is `first`, the value itself sitting
// `depth` levels deep. False on anything but a complete value.
bool SkipValue(Tokens& tokens, Token first, int depth) {
  switch (first) {
    case Token::kString:
    case Token::kNumber:
    case Token::kLiteral:
      return true;
    case Token::kObjectBegin:
    case Token::kArrayBegin:
      break;
    default:
      return false;
  }
  for (int open = 1; open > 0;) {
    switch (tokens.Next()) {
      case Token::kObjectBegin:
      case Token::kArrayBegin:
        if (depth + open++ >= kMaxDepth) return false;
        break;
      case Token::kObjectEnd:
      case Token::kArrayEnd:
        --open;
        break;
      case Token::kEnd:
      case Token::kError:
        return false;
      default:
        break;
    }
  }
  return true;
}

// The entries of an array whose '[' was just read, as the reader takes them: an array is
// empty only when ']' follows after blanks (a comment there makes it a syntax error),
// each entry may have comments before and after it, and entries are separated by ','.
bool SplitArray(Tokens& tokens, std::vector<std::string_view>& entries) {
  entries.clear();
  if (tokens.NextCharIs(']')) return tokens.Next() == Token::kArrayEnd;
  for (;;) {
    const Token first = tokens.NextSkippingComments();
    const char* start = tokens.start();
    if (!SkipValue(tokens, first, 3)) return false;
    entries.emplace_back(start, static_cast<std::size_t>(tokens.at() - start));
    const Token after = tokens.NextSkippingComments();
    if (after == Token::kArrayEnd) return true;
    if (after != Token::kComma) return false;
  }
}

}  // namespace

bool SplitArtEntries(std::string_view text, ArtEntries& out) {
  Tokens tokens(text);
  if (tokens.NextSkippingComments() != Token::kObjectBegin) return false;
  bool artIsArray = false;
  for (;;) {
    const Token name = tokens.NextSkippingComments();
    if (name == Token::kObjectEnd) break;  // whether the reader accepts it there, the frame says
    if (name != Token::kString) return false;
    const std::string_view key(tokens.start(),
                               static_cast<std::size_t>(tokens.at() - tokens.start()));
    if (key.find('\\') != std::string_view::npos) return false;
    if (tokens.Next() != Token::kColon) return false;
    const Token first = tokens.NextSkippingComments();
    if (key == "\"art\"") {
      // A later member of the same name replaces an earlier one.
      artIsArray = first == Token::kArrayBegin;
      out.entries.clear();
      if (artIsArray ? !SplitArray(tokens, out.entries) : !SkipValue(tokens, first, 2)) {
        return false;
      }
    } else if (!SkipValue(tokens, first, 2)) {
      return false;
    }
    const Token after = tokens.NextSkippingComments();
    if (after == Token::kObjectEnd) break;
    if (after != Token::kComma) return false;
  }
  if (!artIsArray || out.entries.empty()) return false;

  // "null" cannot run into the token after it, as a number could ("0" before an "e").
  std::size_t kept = text.size();
  for (const std::string_view entry : out.entries) kept -= entry.size();
  out.frame.clear();
  out.frame.reserve(kept + 4 * out.entries.size());
  const char* copied = text.data();
  for (const std::string_view entry : out.entries) {
    out.frame.append(copied, entry.data());
    out.frame += "null";
    copied = entry.data() + entry.size();
  }
  out.frame.append(copied, text.data() + text.size());
  return true;
}

}  // namespace orvella
