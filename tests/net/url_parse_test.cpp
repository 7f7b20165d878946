// The URL canonical form and split: what a browser or the Windows canonicalizer makes of
// an item's URL before a file name is taken from it.
#include "net/url_parse.h"

#include <gtest/gtest.h>

namespace orvella::test {
namespace {

TEST(UrlParse, CanonicalFormChangesOnlyThePartBeforeTheQuery) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"http://h/art/a b.jpg", L"http://h/art/a%20b.jpg"},
      {L"http://h/a b?x=a b#c d", L"http://h/a%20b?x=a b#c d"},
      {L"http://h/a/./b/../c.jpg", L"http://h/a/c.jpg"},
      {L"http://h/../../etc/x", L"http://h/etc/x"},
      {L"http://h/x?p=../y", L"http://h/x?p=../y"},
      {L"http://h\\a\\..\\b.jpg", L"http://h/b.jpg"},
      {L"http://h/%2e%2e/a%20", L"http://h/%2e%2e/a%20"},  // escapes are never decoded
      {L"http://h/t\tx\x01", L"http://h/t%09x%01"},
      {L"http://h/caf\u00e9 \u20ac", L"http://h/caf%E9%20%80"},  // Windows-1252 bytes
      {L"http://h", L"http://h/"},
  };
  for (const auto& [url, canonical] : cases) {
    std::wstring out;
    EXPECT_TRUE(CanonicalizeUrl(url, out)) << url;
    EXPECT_EQ(out, canonical) << url;
  }
}

TEST(UrlParse, SplitAndMalformedUrls) {
  ParsedUrl u;
  ASSERT_TRUE(ParseUrl(L"HTTP://Example.org/a/../b.jpg?q=1", u));
  EXPECT_EQ(u.serviceType, kServiceHttp);
  EXPECT_EQ(u.server, L"Example.org");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.object, L"/b.jpg?q=1");
  ASSERT_TRUE(ParseUrl(L"https://user:pw@[::1]:8443", u));
  EXPECT_EQ(u.serviceType, kServiceHttps);
  EXPECT_EQ(u.server, L"[::1]");
  EXPECT_EQ(u.port, 8443);
  EXPECT_EQ(u.object, L"/");
  ASSERT_TRUE(ParseUrl(L"ftp://h/x.jpg", u));
  EXPECT_EQ(u.serviceType, kServiceFtp);
  for (const wchar_t* bad : {L"", L"x.jpg", L"/art/x.jpg", L"http:x", L"1http://h/", L"http:///x",
                             L"http://h:99999/", L"http://h:8o/", L"http://[::1/x"}) {
    EXPECT_FALSE(ParseUrl(bad, u)) << "'" << bad << "'";
  }
}

}  // namespace
}  // namespace orvella::test
