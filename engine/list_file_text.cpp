#include "engine/list_file_text.h"

#include <climits>

#include "host/text_utf8.h"

namespace orvella {
namespace {

std::wstring DecodeUtf16Le(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = static_cast<unsigned char>(bytes[i]) |
                    (static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    if constexpr (sizeof(wchar_t) == 4) {
      // Pair surrogates into one character where wchar_t holds whole code points.
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
        const char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                             (static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 3])) << 8);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
    }
    out.push_back(static_cast<wchar_t>(unit));
  }
  return out;
}

std::wstring Decode(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToWide(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16Le(bytes.substr(2));
  return DecodeUtf16Le(bytes);
}

// Text mode: every CR LF pair reads as LF; a lone CR stays.
void JoinCrLf(std::wstring& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    text[out++] = text[i];
  }
  text.resize(out);
}

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'z') return c - L'a' + 10;
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  return 99;
}

bool IsBlank(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r');
}

void AppendLine(std::string& out, std::wstring_view line) {
  out += WideToUtf8(line);
  out += "\r\n";
}

}  // namespace

ListFileLines::ListFileLines(std::string_view bytes) : text_(Decode(bytes)) {
  JoinCrLf(text_);
}

bool ListFileLines::Next(std::wstring& piece) {
  if (pos_ >= text_.size()) return false;
  const std::size_t limit = std::min(text_.size(), pos_ + kListLinePieceMax);
  std::size_t end = pos_;
  while (end < limit && text_[end] != L'\n') ++end;
  const bool lineEnd = end < limit;  // the LF fits in this piece
  piece.assign(text_, pos_, end - pos_);
  pos_ = lineEnd ? end + 1 : end;
  const std::size_t nul = piece.find(L'\0');
  if (nul != std::wstring::npos) piece.erase(nul);
  return true;
}

int32_t ParseListCount(std::wstring_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int base = 10;
  if (i < text.size() && text[i] == L'0') {
    base = 8;
    if (i + 2 < text.size() && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
        DigitValue(text[i + 2]) < 16) {
      base = 16;
      i += 2;
    }
  }
  int64_t value = 0;
  for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
    value = value * base + DigitValue(text[i]);
    if (value > INT64_C(1) << 32) value = INT64_C(1) << 32;  // saturated below
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

std::string EncodeListFile(const CFileMap& files) {
  std::string out = "\xEF\xBB\xBF";
  std::size_t size = 64;
  for (const auto& [url, record] : files) size += url.size() + record.localName.size() + 8;
  out.reserve(size);
  AppendLine(out, kListFileHeader);
  out += std::to_string(files.size());
  out += "\r\n";
  for (const auto& [url, record] : files) {
    AppendLine(out, record.url);
    AppendLine(out, record.localName);
  }
  return out;
}

}  // namespace orvella
