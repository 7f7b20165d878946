// The ANSI code page off Windows: Windows-1252 in both directions.
#include "base/ansi_codepage.h"

#include <array>
#include <cstdint>

namespace orvella {
namespace {

// Characters of bytes 0x80..0x9F. The five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as Windows' own table does,
// so every byte converts to a character and back to the same byte.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char kDefaultChar = '?';

// The byte of `c`, or kDefaultChar when the code page has none. Best-fit mappings
// (an 'A' for an 'Ā', say) are not made: the plain replacement is predictable.
char ToByte(uint32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return kDefaultChar;
}

}  // namespace

std::string WideToAnsi(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t c : text) bytes += ToByte(static_cast<uint32_t>(c));
  return bytes;
}

std::wstring AnsiToWide(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    text += static_cast<wchar_t>(byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte);
  }
  return text;
}

}  // namespace orvella
