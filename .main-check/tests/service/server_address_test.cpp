// The art service's address: compiled in, or from the environment.
#include "service/server_address.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace orvella::test {
namespace {

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

}  // namespace
}  // namespace orvella::test
