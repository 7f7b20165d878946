// The URL canonical form and split that naming and downloads rely on.
#include "engine/url_parse.h"

#include <gtest/gtest.h>

namespace orvella::test {
namespace {

std::wstring Canonical(const std::wstring& url) {
  std::wstring out;
  EXPECT_TRUE(CanonicalizeUrl(url, out)) << url;
  return out;
}

TEST(UrlParse, CanonicalFormEscapesAndResolvesOnlyBeforeTheQuery) {
  EXPECT_EQ(Canonical(L"http://h/art/a b.jpg"), L"http://h/art/a%20b.jpg");
  EXPECT_EQ(Canonical(L"http://h/art/a%20b.jpg?size=2"), L"http://h/art/a%20b.jpg?size=2");
  EXPECT_EQ(Canonical(L"http://h/a b?x=a b#c d"), L"http://h/a%20b?x=a b#c d");
  EXPECT_EQ(Canonical(L"http://h/a/./b/../c/d.jpg"), L"http://h/a/c/d.jpg");
  EXPECT_EQ(Canonical(L"http://h/../../etc/x"), L"http://h/etc/x");
  EXPECT_EQ(Canonical(L"http://h/a/b/.."), L"http://h/a/");
  EXPECT_EQ(Canonical(L"http://h/x?p=../../y"), L"http://h/x?p=../../y");
  EXPECT_EQ(Canonical(L"http://h\\a\\..\\b.jpg"), L"http://h/b.jpg");
  EXPECT_EQ(Canonical(L"http://h/%2e%2e/a"), L"http://h/%2e%2e/a");  // escapes never decoded
  EXPECT_EQ(Canonical(L"http://h/t\tab\x01"), L"http://h/t%09ab%01");
  EXPECT_EQ(Canonical(L"http://h"), L"http://h/");
  // Non-ASCII characters are escaped as their ANSI (Windows-1252) bytes.
  EXPECT_EQ(Canonical(L"http://h/caf\u00e9 \u20ac.jpg"), L"http://h/caf%E9%20%80.jpg");
}

TEST(UrlParse, SplitGivesServiceTypeServerPortAndObject) {
  ParsedUrl u;
  ASSERT_TRUE(ParseUrl(L"HTTP://Example.org/a/../b.jpg?q=1", u));
  EXPECT_EQ(u.serviceType, kServiceHttp);
  EXPECT_EQ(u.server, L"Example.org");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.object, L"/b.jpg?q=1");

  ASSERT_TRUE(ParseUrl(L"https://user:pw@h:8443", u));
  EXPECT_EQ(u.serviceType, kServiceHttps);
  EXPECT_EQ(u.server, L"h");
  EXPECT_EQ(u.port, 8443);
  EXPECT_EQ(u.object, L"/");

  ASSERT_TRUE(ParseUrl(L"http://[::1]:81/x", u));
  EXPECT_EQ(u.server, L"[::1]");
  EXPECT_EQ(u.port, 81);

  ASSERT_TRUE(ParseUrl(L"ftp://h/x.jpg", u));
  EXPECT_EQ(u.serviceType, kServiceFtp);
  ASSERT_TRUE(ParseUrl(L"file://h/x.jpg", u));
  EXPECT_NE(u.serviceType, kServiceHttp);
  EXPECT_NE(u.serviceType, kServiceHttps);
}

TEST(UrlParse, MalformedUrlsAreRejected) {
  ParsedUrl u;
  for (const wchar_t* bad :
       {L"", L"x.jpg", L"/art/x.jpg", L"http:/h/x", L"http:x", L"1http://h/", L"http:///x",
        L"http://h:99999/", L"http://h:8o/", L"http://[::1/x", L"http://u@/x"}) {
    EXPECT_FALSE(ParseUrl(bad, u)) << "'" << bad << "'";
  }
}

}  // namespace
}  // namespace orvella::test
