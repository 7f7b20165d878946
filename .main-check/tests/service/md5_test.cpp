// cMD5 against RFC 1321's test suite and against OpenSSL.
#include "service/md5.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/service_fixture.h"

namespace orvella::test {
namespace {

std::string Hex(const unsigned char (&digest)[16]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : digest) {
    hex += kHex[b >> 4];
    hex += kHex[b & 0xF];
  }
  return hex;
}

TEST(Md5, Rfc1321TestSuiteInUpperCase) {
  const std::pair<const char*, const char*> suite[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  cMD5 md5;
  for (const auto& [text, digest] : suite) EXPECT_STREQ(md5.DigestString(text), digest) << text;
}

TEST(Md5, PaddingBoundariesMatchOpenSsl) {
  cMD5 md5;
  for (std::size_t n : {55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129}) {
    const std::string text(n, static_cast<char>('a' + n % 26));
    EXPECT_EQ(md5.DigestString(text.c_str()), OpenSslMd5Hex(text)) << n << " bytes";
  }
}

TEST(Md5, BytesAboveTheAsciiRangeAreUnsigned) {
  cMD5 md5;
  const std::string text = "p\xE4\xDF\x80\xFFw\xF6rd";
  EXPECT_EQ(md5.DigestString(text.c_str()), OpenSslMd5Hex(text));
  EXPECT_STREQ(md5.DigestString("\xFF"), "00594FD4F42BA43FC1CA0427A0576295");
}

TEST(Md5, SecondDigestOnOneObjectIsIndependentAndOverwritesTheFirst) {
  cMD5 md5;
  const char* first = md5.DigestString("abc");
  EXPECT_STREQ(first, "900150983CD24FB0D6963F7D28E17F72");
  const char* second = md5.DigestString("a");
  EXPECT_EQ(first, second);  // the same text buffer, now holding the second digest
  EXPECT_STREQ(second, "0CC175B9C0F1B6A831C399E269772661");
  cMD5 fresh;
  EXPECT_STREQ(fresh.DigestString("a"), second);
}

TEST(Md5, RandomInputsInRandomPiecesMatchOpenSsl) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    std::string data(random() % 2000, '\0');
    for (char& c : data) c = static_cast<char>(random() & 0xFF);
    // Update in pieces of random size, so every fill level of the block is met.
    cMD5 md5;
    md5.Init();
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t piece = std::min<std::size_t>(random() % 150, data.size() - at);
      md5.Update(reinterpret_cast<const unsigned char*>(data.data() + at),
                 static_cast<uint32_t>(piece));
      at += piece;
    }
    unsigned char digest[16];
    md5.Final(digest);
    const std::string hex = Hex(digest);
    ASSERT_EQ(hex, OpenSslMd5Hex(data)) << "round " << round << ", " << data.size() << " bytes";
  }
}

TEST(Md5, LengthsBeyondTheLowCountWordCarryIntoTheHighWord) {
  // 2^29 bytes and more overflow the 32-bit low word of the bit count. Both ways into the
  // high word must work: the carry of an addition that wraps, and the bits shifted out of
  // one long update. calloc's zero pages cost no memory until written.
  const std::size_t size = (std::size_t{1} << 29) + 100;
  std::unique_ptr<unsigned char, decltype(&std::free)> zeros(
      static_cast<unsigned char*>(std::calloc(size, 1)), &std::free);
  ASSERT_NE(zeros, nullptr);
  const std::string expected =
      OpenSslMd5Hex(std::string_view(reinterpret_cast<const char*>(zeros.get()), size));
  const std::vector<std::vector<uint32_t>> splits = {
      {3, (1u << 29) - 4, 101},  // the low word reaches 2^32 - 8 bits, then wraps
      {static_cast<uint32_t>(size)},
  };
  for (const std::vector<uint32_t>& pieces : splits) {
    cMD5 md5;
    md5.Init();
    for (uint32_t piece : pieces) md5.Update(zeros.get(), piece);
    unsigned char digest[16];
    md5.Final(digest);
    EXPECT_EQ(Hex(digest), expected) << pieces.size() << " pieces";
  }
}

}  // namespace
}  // namespace orvella::test
