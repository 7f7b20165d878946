// Json::Reader: JsonCpp's classic reader, step for step, building nlohmann::json nodes.
//
// What matters is that the same documents are accepted and refused, with the same
// values: comments anywhere a token may stand, any value as the root, text after the
// root ignored, lenient number tokens ("-", "01", "1.") decoded as JsonCpp decodes them,
// raw bytes kept in strings, \u escapes written as UTF-8 (surrogate halves as JsonCpp
// pairs them), the first "{" member name that is empty letting a "}" close after a comma,
// and the nesting limit checked before each value is read.
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stack>

#include "json/json.h"

namespace Json {
namespace {

// Values may nest this deep (the root counts as 1); one more raises RuntimeError.
constexpr std::size_t kStackLimit = 1000;

using Location = const char*;

enum TokenType {
  tokenEndOfStream = 0,
  tokenObjectBegin,
  tokenObjectEnd,
  tokenArrayBegin,
  tokenArrayEnd,
  tokenString,
  tokenNumber,
  tokenTrue,
  tokenFalse,
  tokenNull,
  tokenArraySeparator,
  tokenMemberSeparator,
  tokenComment,
  tokenError
};

struct Token {
  TokenType type = tokenError;
  Location start = nullptr;
  Location end = nullptr;
};

class ClassicReader {
 public:
  ClassicReader(Location begin, Location end) : begin_(begin), end_(end), current_(begin) {}

  // Returns true when the document was read into `root`; otherwise `error` holds why.
  bool Parse(nlohmann::json& root) {
    nodes_.push(&root);
    const bool successful = ReadValue();
    Token token;
    SkipCommentTokens(token);
    return successful;
  }

  const std::string& error() const { return error_; }
  Location errorAt() const { return errorAt_; }

 private:
  nlohmann::json& CurrentValue() { return *nodes_.top(); }

  bool ReadValue() {
    if (nodes_.size() > kStackLimit) throw RuntimeError("Exceeded stackLimit in readValue().");
    Token token;
    SkipCommentTokens(token);
    switch (token.type) {
      case tokenObjectBegin:
        return ReadObject();
      case tokenArrayBegin:
        return ReadArray();
      case tokenNumber:
        return DecodeNumber(token, CurrentValue());
      case tokenString: {
        std::string decoded;
        if (!DecodeString(token, decoded)) return false;
        CurrentValue() = std::move(decoded);
        return true;
      }
      case tokenTrue:
        CurrentValue() = true;
        return true;
      case tokenFalse:
        CurrentValue() = false;
        return true;
      case tokenNull:
        CurrentValue() = nullptr;
        return true;
      default:
        return AddError("Syntax error: value, object or array expected.", token.start);
    }
  }

  void SkipCommentTokens(Token& token) {
    do {
      ReadToken(token);
    } while (token.type == tokenComment);
  }

  bool ReadToken(Token& token) {
    SkipSpaces();
    token.start = current_;
    const char c = GetNextChar();
    bool ok = true;
    switch (c) {
      case '{':
        token.type = tokenObjectBegin;
        break;
      case '}':
        token.type = tokenObjectEnd;
        break;
      case '[':
        token.type = tokenArrayBegin;
        break;
      case ']':
        token.type = tokenArrayEnd;
        break;
      case '"':
        token.type = tokenString;
        ok = ReadString();
        break;
      case '/':
        token.type = tokenComment;
        ok = ReadComment();
        break;
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
        token.type = tokenNumber;
        ReadNumber();
        break;
      case 't':
        token.type = tokenTrue;
        ok = Match("rue", 3);
        break;
      case 'f':
        token.type = tokenFalse;
        ok = Match("alse", 4);
        break;
      case 'n':
        token.type = tokenNull;
        ok = Match("ull", 3);
        break;
      case ',':
        token.type = tokenArraySeparator;
        break;
      case ':':
        token.type = tokenMemberSeparator;
        break;
      case 0:
        token.type = tokenEndOfStream;
        break;
      default:
        ok = false;
        break;
    }
    if (!ok) token.type = tokenError;
    token.end = current_;
    return ok;
  }

  void SkipSpaces() {
    while (current_ != end_) {
      const char c = *current_;
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
      ++current_;
    }
  }

  bool Match(const char* pattern, int length) {
    if (end_ - current_ < length) return false;
    for (int i = length - 1; i >= 0; --i) {
      if (current_[i] != pattern[i]) return false;
    }
    current_ += length;
    return true;
  }

  bool ReadComment() {
    const char c = GetNextChar();
    if (c == '*') return ReadCStyleComment();
    if (c == '/') return ReadCppStyleComment();
    return false;
  }

  bool ReadCStyleComment() {
    while (current_ + 1 < end_) {
      const char c = GetNextChar();
      if (c == '*' && *current_ == '/') break;
    }
    return GetNextChar() == '/';
  }

  bool ReadCppStyleComment() {
    while (current_ != end_) {
      const char c = GetNextChar();
      if (c == '\n') break;
      if (c == '\r') {
        if (current_ != end_ && *current_ == '\n') GetNextChar();
        break;
      }
    }
    return true;
  }

  void ReadNumber() {
    Location p = current_;
    char c = '0';  // stands for the character the token began with
    while (c >= '0' && c <= '9') c = (current_ = p) < end_ ? *p++ : '\0';
    if (c == '.') {
      c = (current_ = p) < end_ ? *p++ : '\0';
      while (c >= '0' && c <= '9') c = (current_ = p) < end_ ? *p++ : '\0';
    }
    if (c == 'e' || c == 'E') {
      c = (current_ = p) < end_ ? *p++ : '\0';
      if (c == '+' || c == '-') c = (current_ = p) < end_ ? *p++ : '\0';
      while (c >= '0' && c <= '9') c = (current_ = p) < end_ ? *p++ : '\0';
    }
  }

  bool ReadString() {
    char c = '\0';
    while (current_ != end_) {
      c = GetNextChar();
      if (c == '\\') {
        GetNextChar();
      } else if (c == '"') {
        break;
      }
    }
    return c == '"';
  }

  bool ReadObject() {
    CurrentValue() = nlohmann::json::object();
    Token tokenName;
    std::string name;
    while (ReadToken(tokenName)) {
      bool initialTokenOk = true;
      while (tokenName.type == tokenComment && initialTokenOk)
        initialTokenOk = ReadToken(tokenName);
      if (!initialTokenOk) break;
      // `name` is still the previous member's: an empty one lets "}" follow a comma.
      if (tokenName.type == tokenObjectEnd && name.empty()) return true;
      name.clear();
      if (tokenName.type != tokenString) break;
      if (!DecodeString(tokenName, name)) return false;

      Token colon;
      if (!ReadToken(colon) || colon.type != tokenMemberSeparator) {
        return AddError("Missing ':' after object member name", colon.start);
      }
      nodes_.push(&CurrentValue()[name]);
      const bool ok = ReadValue();
      nodes_.pop();
      if (!ok) return false;

      Token comma;
      if (!ReadToken(comma) || (comma.type != tokenObjectEnd && comma.type != tokenArraySeparator &&
                                comma.type != tokenComment)) {
        return AddError("Missing ',' or '}' in object declaration", comma.start);
      }
      bool finalizeTokenOk = true;
      while (comma.type == tokenComment && finalizeTokenOk) finalizeTokenOk = ReadToken(comma);
      if (comma.type == tokenObjectEnd) return true;
    }
    return AddError("Missing '}' or object member name", tokenName.start);
  }

  bool ReadArray() {
    CurrentValue() = nlohmann::json::array();
    SkipSpaces();
    if (current_ != end_ && *current_ == ']') {
      Token endArray;
      ReadToken(endArray);
      return true;
    }
    for (;;) {
      nlohmann::json& array = CurrentValue();
      array.push_back(nullptr);
      nodes_.push(&array.back());
      bool ok = ReadValue();
      nodes_.pop();
      if (!ok) return false;

      Token currentToken;
      ok = ReadToken(currentToken);
      while (currentToken.type == tokenComment && ok) ok = ReadToken(currentToken);
      const bool badTokenType =
          currentToken.type != tokenArraySeparator && currentToken.type != tokenArrayEnd;
      if (!ok || badTokenType) {
        return AddError("Missing ',' or ']' in array declaration", currentToken.start);
      }
      if (currentToken.type == tokenArrayEnd) return true;
    }
  }

  bool DecodeNumber(const Token& token, nlohmann::json& decoded) {
    Location current = token.start;
    const bool isNegative = *current == '-';
    if (isNegative) ++current;
    const LargestUInt maxIntegerValue =
        isNegative ? LargestUInt(std::numeric_limits<LargestInt>::max()) + 1
                   : std::numeric_limits<LargestUInt>::max();
    const LargestUInt threshold = maxIntegerValue / 10;
    LargestUInt value = 0;
    while (current < token.end) {
      const char c = *current++;
      if (c < '0' || c > '9') return DecodeDouble(token, decoded);
      const auto digit = static_cast<unsigned>(c - '0');
      if (value >= threshold) {
        // At the limit only a last digit that still fits keeps it an integer.
        if (value > threshold || current != token.end || digit > maxIntegerValue % 10) {
          return DecodeDouble(token, decoded);
        }
      }
      value = value * 10 + digit;
    }
    if (isNegative && value == maxIntegerValue) {
      decoded = std::numeric_limits<LargestInt>::min();
    } else if (isNegative) {
      decoded = -LargestInt(value);
    } else if (value <= LargestUInt(std::numeric_limits<Int>::max())) {
      decoded = LargestInt(value);
    } else {
      decoded = value;
    }
    return true;
  }

  bool DecodeDouble(const Token& token, nlohmann::json& decoded) {
    double value = 0;
    const std::string text(token.start, token.end);
    std::istringstream is(text);
    if (!(is >> value)) return AddError("'" + text + "' is not a number.", token.start);
    decoded = value;
    return true;
  }

  bool DecodeString(const Token& token, std::string& decoded) {
    decoded.reserve(static_cast<std::size_t>(token.end - token.start - 2));
    Location current = token.start + 1;  // after the opening quote
    const Location end = token.end - 1;  // before the closing one
    while (current != end) {
      const char c = *current++;
      if (c == '"') break;
      if (c != '\\') {
        decoded += c;
        continue;
      }
      if (current == end) return AddError("Empty escape sequence in string", current);
      const char escape = *current++;
      switch (escape) {
        case '"':
          decoded += '"';
          break;
        case '/':
          decoded += '/';
          break;
        case '\\':
          decoded += '\\';
          break;
        case 'b':
          decoded += '\b';
          break;
        case 'f':
          decoded += '\f';
          break;
        case 'n':
          decoded += '\n';
          break;
        case 'r':
          decoded += '\r';
          break;
        case 't':
          decoded += '\t';
          break;
        case 'u': {
          unsigned int unicode = 0;
          if (!DecodeUnicodeCodePoint(current, end, unicode)) return false;
          decoded += CodePointToUtf8(unicode);
          break;
        }
        default:
          return AddError("Bad escape sequence in string", current);
      }
    }
    return true;
  }

  bool DecodeUnicodeCodePoint(Location& current, Location end, unsigned int& unicode) {
    if (!DecodeUnicodeEscapeSequence(current, end, unicode)) return false;
    if (unicode < 0xD800 || unicode > 0xDBFF) return true;
    // A high surrogate takes the next escape as its low half, whatever it holds.
    if (end - current < 6) {
      return AddError("additional six characters expected to parse unicode surrogate pair.",
                      current);
    }
    if (*(current++) == '\\' && *(current++) == 'u') {
      unsigned int surrogatePair = 0;
      if (!DecodeUnicodeEscapeSequence(current, end, surrogatePair)) return false;
      unicode = 0x10000 + ((unicode & 0x3FF) << 10) + (surrogatePair & 0x3FF);
      return true;
    }
    return AddError(
        "expecting another \\u token to begin the second half of a unicode surrogate pair",
        current);
  }

  bool DecodeUnicodeEscapeSequence(Location& current, Location end, unsigned int& result) {
    if (end - current < 4) {
      return AddError("Bad unicode escape sequence in string: four digits expected.", current);
    }
    unsigned int unicode = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = *current++;
      unicode *= 16;
      if (c >= '0' && c <= '9') {
        unicode += static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unicode += static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unicode += static_cast<unsigned>(c - 'A' + 10);
      } else {
        return AddError("Bad unicode escape sequence in string: hexadecimal digit expected.",
                        current);
      }
    }
    result = unicode;
    return true;
  }

  static std::string CodePointToUtf8(unsigned int cp) {
    std::string result;
    if (cp <= 0x7F) {
      result += static_cast<char>(cp);
    } else if (cp <= 0x7FF) {
      result += static_cast<char>(0xC0 | (0x1F & (cp >> 6)));
      result += static_cast<char>(0x80 | (0x3F & cp));
    } else if (cp <= 0xFFFF) {
      result += static_cast<char>(0xE0 | (0xF & (cp >> 12)));
      result += static_cast<char>(0x80 | (0x3F & (cp >> 6)));
      result += static_cast<char>(0x80 | (0x3F & cp));
    } else if (cp <= 0x10FFFF) {
      result += static_cast<char>(0xF0 | (0x7 & (cp >> 18)));
      result += static_cast<char>(0x80 | (0x3F & (cp >> 12)));
      result += static_cast<char>(0x80 | (0x3F & (cp >> 6)));
      result += static_cast<char>(0x80 | (0x3F & cp));
    }
    return result;
  }

  char GetNextChar() { return current_ == end_ ? '\0' : *current_++; }

  bool AddError(const std::string& message, Location at) {
    if (error_.empty()) {
      error_ = message;
      errorAt_ = at;
    }
    return false;
  }

  Location begin_;
  Location end_;
  Location current_;
  std::stack<nlohmann::json*> nodes_;
  std::string error_;
  Location errorAt_ = nullptr;
};

// "* Line L, Column C\n  message\n", lines and columns counted from 1.
std::string FormatError(Location begin, Location end, Location at, const std::string& message) {
  int line = 1;
  Location lineStart = begin;
  if (at == nullptr || at < begin || at > end) at = begin;
  for (Location p = begin; p < at; ++p) {
    if (*p == '\r') {
      if (p + 1 < at && p[1] == '\n') ++p;
      lineStart = p + 1;
      ++line;
    } else if (*p == '\n') {
      lineStart = p + 1;
      ++line;
    }
  }
  const long column = static_cast<long>(at - lineStart) + 1;
  return "* Line " + std::to_string(line) + ", Column " + std::to_string(column) + "\n  " +
         message + "\n";
}

}  // namespace

bool Reader::parse(const String& document, Value& root, bool collectComments) {
  return parse(document.data(), document.data() + document.size(), root, collectComments);
}

bool Reader::parse(const char* beginDoc, const char* endDoc, Value& root, bool) {
  errors_.clear();
  root.ForgetViews();
  ClassicReader reader(beginDoc, endDoc);
  nlohmann::json parsed;
  bool ok = false;
  try {
    ok = reader.Parse(parsed);
  } catch (...) {
    root.Node() = std::move(parsed);  // what was read so far, as JsonCpp leaves it
    throw;
  }
  root.Node() = std::move(parsed);
  if (!ok) errors_ = FormatError(beginDoc, endDoc, reader.errorAt(), reader.error());
  return ok;
}

String Reader::getFormattedErrorMessages() const {
  return errors_;
}

}  // namespace Json
