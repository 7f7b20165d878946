// The sign-in request against a loopback account endpoint.
#include "service/orvella_client.h"
#include "tests/service/client_fixtures.h"

namespace orvella::test {
namespace {

TEST_F(AuthorizeTest, RequestCarriesTheAddressAsTypedAndTheDigestOfThePassword) {
  Answer(200, R"({"user_name":"Ann","user_token":"T0k"})");
  COrvellaClient client(L"", L"");
  EXPECT_EQ(client.Authorize(L"a+b&c@x.org", L"secret"), 1);
  EXPECT_EQ(LastTarget(), std::string(kUserPath) + "?client=" + kKey +
                              "&email=a+b&c@x.org&password_md5=" + OpenSslMd5Hex("secret"));
}

TEST_F(AuthorizeTest, EmptyAddressAndPasswordStillMakeARequest) {
  Answer(200, "null");
  COrvellaClient client(L"", L"");
  EXPECT_EQ(client.Authorize(L"", L""), 0);
  EXPECT_EQ(LastTarget(), std::string(kUserPath) + "?client=" + kKey +
                              "&email=&password_md5=D41D8CD98F00B204E9800998ECF8427E");
}

TEST_F(AuthorizeTest, BlankInTheAddressArrivesAsEscapeOfTheHttpLayer) {
  Answer(200, "{}");
  COrvellaClient client(L"", L"");
  client.Authorize(L"ann smith@x.org", L"p");
  EXPECT_EQ(LastTarget(), std::string(kUserPath) + "?client=" + kKey +
                              "&email=ann%20smith@x.org&password_md5=" + OpenSslMd5Hex("p"));
}

struct AuthorizeCase {
  const char* title;
  int status;
  std::string body;
  int32_t result;
  std::wstring errorText;
  std::wstring userName;  // afterwards; the client starts with "old-user"
  std::wstring token;     // afterwards; the client starts with "old-token"
};

void PrintTo(const AuthorizeCase& c, std::ostream* out) {
  *out << c.title;
}

class AuthorizeOutcome : public AuthorizeTest,
                         public ::testing::WithParamInterface<AuthorizeCase> {};

TEST_P(AuthorizeOutcome, ResultErrorTextAndAccount) {
  const AuthorizeCase& c = GetParam();
  Answer(c.status, c.body);
  COrvellaClient client(L"old-token", L"old-user");
  EXPECT_EQ(client.Authorize(L"a@b.org", L"pw"), c.result);
  EXPECT_EQ(client.errorText, c.errorText);
  EXPECT_EQ(client.userName, c.userName);
  EXPECT_EQ(client.token, c.token);
  // Only the transport writes log lines; the request itself writes none.
  if (c.status == 200) {
    EXPECT_TRUE(host.logs().empty());
  }
}

const std::wstring kDenied = L"Authorization has been denied";

INSTANTIATE_TEST_SUITE_P(
    FailureTable, AuthorizeOutcome,
    ::testing::Values(
        AuthorizeCase{"ServerError", 500, "{}", 0,
                      L"Connection to Orvella server failed with error 500", L"old-user",
                      L"old-token"},
        AuthorizeCase{"NotJson", 200, "<html>", 0, L"", L"old-user", L"old-token"},
        AuthorizeCase{"EmptyBody", 200, "", 0, L"", L"old-user", L"old-token"},
        AuthorizeCase{"Null", 200, "null", 0, kDenied, L"old-user", L"old-token"},
        AuthorizeCase{"EmptyArray", 200, "[]", 0, kDenied, L"old-user", L"old-token"},
        AuthorizeCase{"Array", 200, R"([{"user_name":"x"}])", 0, kDenied, L"old-user",
                      L"old-token"},
        AuthorizeCase{"String", 200, R"("granted")", 0, L"", L"old-user", L"old-token"},
        AuthorizeCase{"Number", 200, "42", 0, L"", L"old-user", L"old-token"},
        AuthorizeCase{"Boolean", 200, "true", 0, L"", L"old-user", L"old-token"},
        AuthorizeCase{"NameNotString", 200, R"({"user_name":5,"user_token":"t"})", 0, L"",
                      L"old-user", L"old-token"},
        AuthorizeCase{"NameNull", 200, R"({"user_name":null,"user_token":"t"})", 0, L"",
                      L"old-user", L"old-token"},
        AuthorizeCase{"TokenNotString", 200, R"({"user_name":"Ann","user_token":[1]})", 0, L"",
                      L"Ann", L"old-token"},
        AuthorizeCase{"Both", 200, R"({"user_name":"Ann","user_token":"T0k","extra":1})", 1, L"",
                      L"Ann", L"T0k"},
        AuthorizeCase{"NameOnly", 200, R"({"user_name":"Ann"})", 1, L"", L"Ann", L""},
        AuthorizeCase{"NeitherMember", 200, "{}", 1, L"", L"", L""},
        AuthorizeCase{"CommentsAllowed", 200, "// hi\n{\"user_token\":\"T\"} /* end */", 1, L"",
                      L"", L"T"},
        AuthorizeCase{"NonAsciiName", 200, "{\"user_name\":\"Zo\xC3\xAB\",\"user_token\":\"t\"}", 1,
                      L"", L"Zo\u00c3\u00ab", L"t"}),
    [](const ::testing::TestParamInfo<AuthorizeCase>& info) { return info.param.title; });

TEST_F(AuthorizeTest, ConnectionFailureLeavesTheAccountAndShowsTheCode) {
  server.Stop();
  COrvellaClient client(L"old-token", L"old-user");
  EXPECT_EQ(client.Authorize(L"a@b.org", L"pw"), 0);
  EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error -1");
  EXPECT_EQ(client.token, L"old-token");
  EXPECT_EQ(host.CountLogs(L"InternetOpenUrl() failed, error "), 1);
}

}  // namespace
}  // namespace orvella::test
