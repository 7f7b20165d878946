// The service transport's fixture: fetches into a block the test owns, on both platforms.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/http_fetch.h"
#include "service/orvella_client.h"
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

/// `n` pseudo-random bytes, the same for the same `seed`.
inline std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

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

  // A body cut short after none, some or most of its bytes fails to read, with no block and
  // the one log line of the transport's read `error`.
  void ExpectCutBodiesFailToRead(int32_t error) {
    for (std::size_t sent : {std::size_t{0}, std::size_t{1000}, std::size_t{200000}}) {
      SCOPED_TRACE(sent);
      host.ClearLogs();
      Reply reply{200, RandomBytes(500000, 7)};
      reply.closeAfter = sent;
      server.Set("/cut", reply);
      ExpectFetchFails("/cut", kFetchReadFailed,
                       L"InternetReadWholeFile: error " + std::to_wstring(error) +
                           L" returned by InternetReadFile");
    }
  }

  // A connection the server refuses fails to open, for the client too, with the one log
  // line of the transport's open `error`.
  void ExpectRefusedConnectionFailsToOpen(int32_t error) {
    LoopbackServer closed;
    const std::wstring url = closed.WideBaseUrl() + L"/x";
    closed.Stop();
    COrvellaClient client(L"", L"");
    std::string body;
    EXPECT_EQ(client.QueryServer(url, body), -1);
    EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error -1");
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{L"InternetOpenUrl() failed, error " +
                                                     std::to_wstring(error)});
  }

  // An answer one byte longer than the limit fails with no block and its log line.
  void ExpectOverTheLimitFails(bool chunked) {
    host.ClearLogs();
    Reply over{200, ""};
    over.generatedSize = std::size_t{kMaxServiceAnswer} + 1;
    over.chunked = chunked;
    server.Set("/over", over);
    ExpectFetchFails("/over", kFetchGrowFailed, L"InternetReadWholeFile: realloc failed");
  }

  // Fetching `path` fails with `code`, no block and the one log line `line`.
  void ExpectFetchFails(const std::string& path, int32_t code, const std::wstring& line) {
    const Fetched fetched = Fetch(Url(path));
    EXPECT_EQ(fetched.code, code);
    EXPECT_EQ(fetched.block, nullptr);
    EXPECT_EQ(fetched.length, 0u);
    EXPECT_EQ(host.logs(), std::vector<std::wstring>{line});
  }
};

}  // namespace orvella::test
