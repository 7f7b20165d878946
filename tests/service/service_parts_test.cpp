// The pieces under the requests: the body buffer, the wire form of URLs, the service
// address and the ANSI code page.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "service/ansi_codepage.h"
#include "service/body_buffer.h"
#include "service/server_address.h"

namespace orvella::test {
namespace {

TEST(BodyBuffer, GathersChunksIntoOneNulTerminatedBlockOfExactSize) {
  BodyBuffer buffer;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string chunk(static_cast<std::size_t>(i % 37), static_cast<char>('a' + i % 26));
    ASSERT_TRUE(buffer.Append(chunk.data(), chunk.size()));
    expected += chunk;
  }
  ASSERT_EQ(buffer.length(), expected.size());
  char* block = buffer.Release();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(block, expected.size()), expected);
  EXPECT_EQ(block[expected.size()], '\0');
  std::free(block);
  EXPECT_EQ(buffer.length(), 0u);
  EXPECT_EQ(buffer.Release(), nullptr);
}

TEST(BodyBuffer, NothingGatheredGivesNoBlock) {
  BodyBuffer buffer;
  EXPECT_TRUE(buffer.Append("x", 0));
  EXPECT_EQ(buffer.Release(), nullptr);
}

TEST(BodyBuffer, GrowingPastTheLengthLimitFailsAndReleasesTheData) {
  // The limit stands for the 32-bit length: a body that would wrap it must fail rather
  // than be copied past its block.
  BodyBuffer buffer(10);
  EXPECT_TRUE(buffer.Append("0123456789", 10));
  EXPECT_FALSE(buffer.Append("a", 1));
  EXPECT_EQ(buffer.length(), 0u);
  EXPECT_EQ(buffer.Release(), nullptr);

  BodyBuffer fresh(10);
  EXPECT_FALSE(fresh.Append("0123456789A", 11));
  EXPECT_EQ(fresh.length(), 0u);
}

class ServerAddress : public ::testing::Test {
 protected:
  void TearDown() override { ::unsetenv(kServerUrlVariable); }
};

TEST_F(ServerAddress, CompiledDefaultUnlessTheEnvironmentSaysOtherwise) {
  ::unsetenv(kServerUrlVariable);
  EXPECT_EQ(ServerBaseUrl(), std::wstring(ORVELLA_DEFAULT_SERVER_URL));
  ::setenv(kServerUrlVariable, "", 1);
  EXPECT_EQ(ServerBaseUrl(), std::wstring(ORVELLA_DEFAULT_SERVER_URL));
  ::setenv(kServerUrlVariable, "http://art.example:9000", 1);
  EXPECT_EQ(AccountEndpointUrl(), L"http://art.example:9000/api/v3/user/");
  EXPECT_EQ(ArtEndpointUrl(), L"http://art.example:9000/api/v3/art/");
  // Read again at each call, and a trailing slash does not double the path's.
  ::setenv(kServerUrlVariable, "http://other:1/", 1);
  EXPECT_EQ(ArtEndpointUrl(), L"http://other:1/api/v3/art/");
}

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

TEST(AnsiCodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(L"\u20ac\u00e9\u0100\u4e2d\U0001F600x"), "\x80\xE9???x");
  EXPECT_EQ(WideToAnsi(L""), "");
}

}  // namespace
}  // namespace orvella::test
