// The sign-in request where Windows decides: the password is digested from the bytes
// WideCharToMultiByte gives in the thread's code page with no flags, best fit included.
#include <windows.h>

#include "service/orvella_client.h"
#include "tests/service/client_fixtures.h"

namespace orvella::test {
namespace {

TEST_F(AuthorizeTest, PasswordIsDigestedFromTheThreadsCodePageWithBestFit) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the expectations are for code page 1252";
  Answer(200, "{}");
  COrvellaClient client(L"", L"");
  // U+00E9 and U+20AC are in Windows-1252 (0xE9, 0x80); U+0100 has the best fit 'A';
  // U+4E16 has none and becomes the code page's default character.
  client.Authorize(L"a@b", L"\u00e9t\u00e9\u20ac\u0100\u4e16");
  const std::string target = LastTarget();
  EXPECT_EQ(target.substr(target.size() - 32), OpenSslMd5Hex("\xE9t\xE9\x80"
                                                             "A?"));
}

}  // namespace
}  // namespace orvella::test
