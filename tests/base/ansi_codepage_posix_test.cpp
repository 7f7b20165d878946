// The ANSI code page where the POSIX conversion decides: Windows-1252 without best fit.
#include "base/ansi_codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace orvella::test {
namespace {

TEST(AnsiCodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(L"\u20ac\u00e9\u0100\u4e2d\U0001F600x"), "\x80\xE9???x");
  EXPECT_EQ(WideToAnsi(L""), "");
}

}  // namespace
}  // namespace orvella::test
