// The service transport's fixture: fetches into a block the test owns, on both platforms.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/http_fetch.h"
#include "tests/support/service_fixture.h"

namespace orvella::test {

struct FreeBlock {
  void operator()(char* block) const { std::free(block); }
};
using Block = std::unique_ptr<char, FreeBlock>;

struct Fetched {
  int32_t code;
  Block block;
  uint32_t length;
};

/// The service transport against the fixture's loopback server.
class TransportTest : public ServiceTest {
 protected:
  std::wstring Url(const std::string& path) const {
    return server.WideBaseUrl() + Utf8ToWideAscii(path);
  }
  static std::wstring Utf8ToWideAscii(const std::string& text) {
    return {text.begin(), text.end()};
  }

  Fetched Fetch(const std::wstring& url) {
    char* block = reinterpret_cast<char*>(0x1);  // must be reset by the fetch
    uint32_t length = 77;
    const int32_t code = FetchUrl(url, block, length);
    return {code, Block(block), length};
  }

  // An answer one byte longer than the limit fails with no block and its log line.
  void ExpectOverTheLimitFails(bool chunked) {
    host.ClearLogs();
    Reply over{200, ""};
    over.generatedSize = std::size_t{kMaxServiceAnswer} + 1;
    over.chunked = chunked;
    server.Set("/over", over);
    const Fetched fetched = Fetch(Url("/over"));
    EXPECT_EQ(fetched.code, kFetchGrowFailed);
    EXPECT_EQ(fetched.block, nullptr);
    EXPECT_EQ(fetched.length, 0u);
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetReadWholeFile: realloc failed"});
  }
};

/// `n` pseudo-random bytes, the same for the same `seed`.
inline std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

}  // namespace orvella::test
