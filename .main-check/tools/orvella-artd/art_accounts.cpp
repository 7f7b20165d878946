// The local service's accounts, their tokens and the password check.
#include "tools/orvella-artd/art_accounts.h"

#include <json/json.h>
#include <openssl/evp.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvella::artd {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("users: " + what);
}

// Code points of Windows-1252 bytes 0x80..0x9F (the five undefined ones as C1 controls).
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char Windows1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// Decodes one UTF-8 sequence at text[i], advancing i; a malformed byte decodes as U+FFFD.
char32_t NextCodePoint(const std::string& text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0 || lead > 0xF4) return 0xFFFD;
  char32_t c = lead & (0x3F >> more);
  for (; more > 0; --more) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return c;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string OptionalString(const Json::Value& value, const char* key, std::size_t index) {
  if (!value.isMember(key)) return "";
  if (!value[key].isString()) {
    Fail("account " + std::to_string(index) + ": \"" + key + "\" must be a string");
  }
  return value[key].asString();
}

}  // namespace

Account CompleteAccount(Account account) {
  if (account.userName.empty()) account.userName = account.email.substr(0, account.email.find('@'));
  if (account.token.empty()) account.token = "tok" + Md5Hex("orvella-artd:" + Lower(account.email));
  return account;
}

std::vector<Account> ParseAccounts(const std::string& json) {
  Json::CharReaderBuilder builder;
  Json::Value root;
  std::string errors;
  std::istringstream in(json);
  if (!Json::parseFromStream(builder, in, &root, &errors)) Fail("not JSON: " + errors);
  if (!root.isObject() || !root["accounts"].isArray()) Fail("expected {\"accounts\": [...]}");
  std::vector<Account> accounts;
  for (Json::ArrayIndex i = 0; i < root["accounts"].size(); ++i) {
    const Json::Value& value = root["accounts"][i];
    if (!value.isObject()) Fail("account " + std::to_string(i) + " is not an object");
    Account account;
    account.email = OptionalString(value, "email", i);
    account.password = OptionalString(value, "password", i);
    if (account.email.empty() || !value.isMember("password")) {
      Fail("account " + std::to_string(i) + ": \"email\" and \"password\" are required");
    }
    account.userName = OptionalString(value, "user_name", i);
    account.token = OptionalString(value, "user_token", i);
    accounts.push_back(CompleteAccount(std::move(account)));
  }
  return accounts;
}

std::vector<Account> LoadAccountsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("users: cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return ParseAccounts(text.str());
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(path + ": " + error.what());
  }
}

Account DemoAccount() {
  return CompleteAccount({"demo@orvella.test", "demo", "Demo User", ""});
}

std::string Utf8ToWindows1252(const std::string& utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size();) bytes += Windows1252Byte(NextCodePoint(utf8, i));
  return bytes;
}

std::string Md5Hex(const std::string& bytes) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1) {
    throw std::runtime_error("OpenSSL's MD5 is not available");
  }
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHexDigits[digest[i] >> 4];
    hex += kHexDigits[digest[i] & 0x0F];
  }
  return hex;
}

bool PasswordMatches(const Account& account, const std::string& passwordMd5) {
  const std::string expected = Md5Hex(Utf8ToWindows1252(account.password));
  std::string given = passwordMd5;
  for (char& c : given) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return given == expected;
}

}  // namespace orvella::artd
