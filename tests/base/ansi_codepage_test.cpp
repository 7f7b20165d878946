// The ANSI code page that service texts and the digested password pass through.
#include "base/ansi_codepage.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace orvella::test {
namespace {

TEST(AnsiCodePage, EveryByteConvertsToACharacterAndBack) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::wstring wide = AnsiToWide(all);
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(WideToAnsi(wide), all);
  // ASCII maps one to one; the Latin-1 range stays where it is.
  for (int b = 1; b < 128; ++b) EXPECT_EQ(wide[b - 1], static_cast<wchar_t>(b));
  for (int b = 0xA0; b < 256; ++b) EXPECT_EQ(wide[b - 1], static_cast<wchar_t>(b));
}

TEST(AnsiCodePage, HighControlRangeIsWindows1252) {
  EXPECT_EQ(AnsiToWide("\x80\x8A\x91\x92\x99\x9F"), L"\u20ac\u0160\u2018\u2019\u2122\u0178");
  // The five bytes the code page leaves undefined become the C1 controls, as on Windows.
  EXPECT_EQ(AnsiToWide("\x81\x8D\x8F\x90\x9D"), L"\u0081\u008d\u008f\u0090\u009d");
  // No UTF-8 decoding: the two bytes of an accented letter are two characters.
  EXPECT_EQ(AnsiToWide("Caf\xC3\xA9"), L"Caf\u00c3\u00a9");
  EXPECT_EQ(AnsiToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

}  // namespace
}  // namespace orvella::test
