// The accounts of the local art service and its side of the password check.
//
// Users file (JSON, UTF-8):
//   {"accounts": [
//     {"email": "demo@orvella.test",   // required; matched ignoring ASCII letter case
//      "password": "demo",             // required; clear text, digested here
//      "user_name": "Demo User",       // optional: default the part of email before '@'
//      "user_token": "..."}            // optional: default derived from the e-mail address
//   ]}
#pragma once

#include <string>
#include <vector>

namespace orvella::artd {

struct Account {
  std::string email;
  std::string password;  // UTF-8
  std::string userName;
  std::string token;
};

/// Fills in what an account may leave out: the user name (the e-mail address before '@')
/// and the token (a fixed function of the e-mail address, so it is the same on every run).
Account CompleteAccount(Account account);

/// Parses a users document (format above). Throws std::runtime_error naming the fault.
std::vector<Account> ParseAccounts(const std::string& json);

/// Reads and parses a users file. Throws std::runtime_error naming the file and fault.
std::vector<Account> LoadAccountsFile(const std::string& path);

/// The account the service has when it is given none: demo@orvella.test / "demo".
Account DemoAccount();

/// Returns `utf8` as Windows-1252 bytes (a character the code page lacks becomes '?'):
/// the bytes a client on a Western-European system digests for a typed password.
std::string Utf8ToWindows1252(const std::string& utf8);

/// Returns the MD5 digest of `bytes` as 32 upper-case hexadecimal digits (OpenSSL).
std::string Md5Hex(const std::string& bytes);

/// True when `passwordMd5` (hexadecimal, either letter case) is the digest of the
/// account's password in Windows-1252.
bool PasswordMatches(const Account& account, const std::string& passwordMd5);

}  // namespace orvella::artd
