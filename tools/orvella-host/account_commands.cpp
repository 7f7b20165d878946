// Sign-in and sign-out from a terminal, with the plug-in's request and account store.
#include "tools/orvella-host/account_commands.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

#include "base/text_utf8.h"
#include "host/config_store.h"
#include "resources/string_table.h"
#include "service/server_address.h"
#include "system/measured_size.h"
#include "system/user_store.h"
#include "tools/orvella-host/stop_signal.h"
#include "tools/orvella-host/terminal_input.h"
#include "ui/authorizer.h"
#include "ui/sign_in_request.h"

namespace orvella::host {
namespace {

// A password longer than any a person types is a file given by mistake.
constexpr std::size_t kMaxPasswordBytes = 4096;

// Reads the password from standard input: up to its first line end or its end.
// Returns "" or why it could not be read.
std::string PasswordFromStdin(std::string& password) {
  for (int c; (c = std::getchar()) != EOF && c != '\n';) {
    if (password.size() == kMaxPasswordBytes) {
      return "the password on standard input is longer than " + std::to_string(kMaxPasswordBytes) +
             " bytes";
    }
    password += static_cast<char>(c);
  }
  if (std::ferror(stdin)) return std::string("cannot read standard input: ") + std::strerror(errno);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return "";
}

// Fills in what the command line left to ask. Returns "" or why it cannot be asked.
std::string Credentials(const SignInOptions& options, std::string& email, std::string& password) {
  email = options.email;
  if (email.empty() && !AskTerminal("E-mail address: ", false, email)) {
    return "no e-mail address given, and no terminal to ask for one";
  }
  if (options.passwordFromStdin) return PasswordFromStdin(password);
  if (!AskTerminal("Password for " + email + ": ", true, password)) {
    return "no terminal to ask for the password (--password-stdin reads it from standard "
           "input)";
  }
  return "";
}

// The token and user name stored for `flavour`; false when either write failed.
// Returns whether both values were written; else `reason` says why the first one failed.
bool StoreAccount(int flavour, const std::wstring& token, const std::wstring& user,
                  std::wstring& reason) {
  const auto [tokenName, userName] = AccountValueNames(flavour);
  const bool tokenWritten =
      WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, tokenName, token, &reason);
  std::wstring userReason;
  const bool userWritten =
      WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, userName, user, &userReason);
  if (tokenWritten && !userWritten) reason = userReason;
  return tokenWritten && userWritten;
}

// ": REASON", or "" when there is none.
std::string Because(const std::wstring& reason) {
  return reason.empty() ? "" : ": " + WideToUtf8(reason);
}

std::wstring StoredValue(const wchar_t* name) {
  return ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, name);
}

// Waits for the request, telling what it waits for when the service is slow. Returns the
// stop's exit status when the user ended it, else 0.
int AwaitAnswer(CSignInRequest& request, StopSignal& stop, int verbosity) {
  const auto started = std::chrono::steady_clock::now();
  bool told = false;
  while (!request.Done()) {
    if (stop.Wait(std::chrono::milliseconds(100))) {
      request.Cancel();
      return stop.exitStatus();
    }
    if (!told && verbosity >= 1 && std::chrono::steady_clock::now() - started >= kQuietNotice) {
      std::fprintf(stderr,
                   "orvella-host: still waiting for the art service at %s (Ctrl-C gives up)\n",
                   WideToUtf8(ServerBaseUrl()).c_str());
      told = true;
    }
  }
  return 0;
}

// The session's log observer for as long as this object lives.
class ObserverScope {
 public:
  ObserverScope(HostSession& session, std::function<void(const std::wstring&)> observer)
      : session_(session) {
    session_.SetLogObserver(std::move(observer));
  }
  ~ObserverScope() { session_.SetLogObserver(nullptr); }
  ObserverScope(const ObserverScope&) = delete;
  ObserverScope& operator=(const ObserverScope&) = delete;

 private:
  HostSession& session_;
};

// Says why the sign-in did not work.
void ShowFailure(const COrvellaClient& client, bool unreachable) {
  const std::string reason = WideToUtf8(client.errorText);
  if (client.errorText == LoadStringById(kIdsAuthorizationDenied)) {
    std::fprintf(stderr, "orvella-host: sign-in refused: %s\n", reason.c_str());
  } else if (!reason.empty()) {
    std::fprintf(stderr, "orvella-host: sign-in failed: %s\n", reason.c_str());
  } else {
    std::fprintf(stderr,
                 "orvella-host: sign-in failed: the art service's answer is not a "
                 "sign-in answer\n");
  }
  if (unreachable) {
    std::fprintf(stderr,
                 "orvella-host: no answer from the art service at %s (ORVELLA_SERVER_URL sets "
                 "another address)\n",
                 WideToUtf8(ServerBaseUrl()).c_str());
  }
}

}  // namespace

int CommandSignIn(HostSession& session, const SignInOptions& options) {
  std::string email;
  std::string password;
  if (const std::string problem = Credentials(options, email, password); !problem.empty()) {
    std::fprintf(stderr, "orvella-host: %s\n", problem.c_str());
    return 2;
  }
  std::atomic<bool> unreachable{false};
  session.ListenToLinkedCode();
  const ObserverScope observing(session, [&unreachable](const std::wstring& line) {
    if (IsUnreachableLine(line)) unreachable = true;
  });
  const int verbosity = session.options().verbosity;
  if (verbosity >= 1) {
    std::fprintf(stderr, "orvella-host: %s\n", WideToUtf8(LoadStringById(kIdsSigningIn)).c_str());
  }
  StopSignal stop;  // before the request's thread, which inherits the blocked signals
  COrvellaClient client(L"", L"");
  int32_t result = 0;
  {
    CSignInRequest request(ServiceAuthorizer(), L"", L"", Utf8ToWide(email), Utf8ToWide(password));
    password.assign(password.size(), '\0');
    if (const int stopped = AwaitAnswer(request, stop, verbosity); stopped != 0) return stopped;
    result = request.Finish(client);
  }
  if (result != 1) {
    ShowFailure(client, unreachable);
    return 1;
  }
  if (client.token.empty()) {
    std::fprintf(stderr,
                 "orvella-host: the art service accepted the sign-in but sent no user token; "
                 "nothing was stored\n");
    return 1;
  }
  const int flavour = session.options().flavour;
  const auto [tokenName, userName] = AccountValueNames(flavour);
  const std::wstring previousToken = StoredValue(tokenName);
  const std::wstring previousUser = StoredValue(userName);
  std::wstring reason;
  if (!StoreAccount(flavour, client.token, client.userName, reason)) {
    // Half an account would be signed in under another name: the previous one is put back.
    std::wstring ignored;
    StoreAccount(flavour, previousToken, previousUser, ignored);
    std::fprintf(stderr, "orvella-host: the account could not be stored%s; not signed in\n",
                 Because(reason).c_str());
    return 1;
  }
  std::printf("signed in as %s\n", WideToUtf8(client.userName).c_str());
  return 0;
}

int CommandSignOut(HostSession& session) {
  const auto [tokenName, userName] = AccountValueNames(session.options().flavour);
  if (StoredValue(tokenName).empty()) {
    std::printf("not signed in; nothing to forget\n");
    return 0;
  }
  const std::wstring user = StoredValue(userName);
  std::wstring reason;
  if (!StoreAccount(session.options().flavour, L"", L"", reason)) {
    std::fprintf(stderr, "orvella-host: the account could not be forgotten%s\n",
                 Because(reason).c_str());
    return 1;
  }
  std::printf("signed out; the account of %s is forgotten\n", WideToUtf8(user).c_str());
  return 0;
}

std::string AccountSummary(int flavour) {
  const auto [tokenName, userName] = AccountValueNames(flavour);
  std::string text = StoredValue(tokenName).empty()
                         ? "account: not signed in (orvella-host sign-in signs in)\n"
                         : "account: signed in as " + WideToUtf8(StoredValue(userName)) + "\n";
  const MeasuredSize size = ReadMeasuredSize();
  text += size.Usable() ? "size without a monitor: " + std::to_string(size.width) + "x" +
                              std::to_string(size.height) + "\n"
                        : "size without a monitor: none yet (orvella-host set size WIDTHxHEIGHT)\n";
  return text;
}

}  // namespace orvella::host
