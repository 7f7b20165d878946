// The sign-in request where the POSIX code page conversion decides: a character outside
// Windows-1252 becomes '?' before the password is digested.
#include "service/orvella_client.h"
#include "tests/service/client_fixtures.h"

namespace orvella::test {
namespace {

TEST_F(AuthorizeTest, PasswordIsDigestedInTheAnsiCodePage) {
  Answer(200, "{}");
  COrvellaClient client(L"", L"");
  // U+00E9 and U+20AC are in Windows-1252 (0xE9, 0x80); U+0100 is not and becomes '?'.
  client.Authorize(L"a@b", L"\u00e9t\u00e9\u20ac\u0100");
  const std::string target = LastTarget();
  EXPECT_EQ(target.substr(target.size() - 32), OpenSslMd5Hex("\xE9t\xE9\x80?"));
}

}  // namespace
}  // namespace orvella::test
