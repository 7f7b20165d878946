// Shared set-up of the service client tests: a fake host that receives the log, a
// loopback server, and the client pointed at it through ORVELLA_SERVER_URL.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <string>
#include <string_view>

#include "base/write_log.h"
#include "tests/support/fake_host.h"
#include "tests/support/loopback_server.h"

namespace orvella::test {

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogCallback(FakeHost::callback());
    ::setenv("ORVELLA_SERVER_URL", server.BaseUrl().c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("ORVELLA_SERVER_URL");
    SetLogCallback(nullptr);
  }

  /// The request target the server last received.
  std::string LastTarget() const { return server.LastRequest().target; }

  FakeHost host;
  LoopbackServer server;
};

/// MD5 of `bytes` as 32 upper-case hexadecimal digits, computed by OpenSSL.
inline std::string OpenSslMd5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace orvella::test
