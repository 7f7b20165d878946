// COrvellaClient::Authorize: the sign-in request and its answer.
#include <json/json.h>

#include "base/ansi_codepage.h"
#include "base/text_format.h"
#include "resources/string_table.h"
#include "service/md5.h"
#include "service/orvella_client.h"
#include "service/server_address.h"

namespace orvella {
namespace {

// The 32 upper-case hexadecimal digits of the MD5 digest of the password's code-page bytes.
std::wstring PasswordDigest(const std::wstring& password) {
  const std::string bytes = WideToAnsi(password);
  cMD5 md5;
  return AnsiToWide(md5.DigestString(bytes.c_str()));
}

}  // namespace

int32_t COrvellaClient::Authorize(const std::wstring& email, const std::wstring& password) {
  std::wstring endpoint;
  if (!EndpointUrl(kAccountEndpointPath, endpoint)) return 0;
  const std::wstring url =
      Format(L"%s?client=%s&email=%s&password_md5=%s", endpoint, std::wstring_view(kApiClientKey),
             email, PasswordDigest(password));
  std::string body;
  if (QueryServer(url, body) != 0) return 0;

  try {
    Json::Reader reader;
    Json::Value root;
    if (!reader.parse(body, root, true)) return 0;
    if (root.isNull() || root.isArray()) {
      errorText = LoadStringById(kIdsAuthorizationDenied);
      return 0;
    }
    userName = AnsiToWide(root.get("user_name", "").asCString());
    token = AnsiToWide(root.get("user_token", "").asCString());
    return 1;
  } catch (const Json::Exception&) {
    // A wrongly typed answer is a failed sign-in; the dialog shows the (empty) error text.
    return 0;
  }
}

}  // namespace orvella
