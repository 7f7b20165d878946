// orvella-host's sign-in and sign-out: the plug-in's own sign-in request and account
// store, used from a terminal.
#pragma once

#include <string>

#include "tools/orvella-host/host_session.h"

namespace orvella::host {

struct SignInOptions {
  std::string email;               // empty: asked on the terminal
  bool passwordFromStdin = false;  // else asked on the terminal without echo
};

/// Signs in with the plug-in's sign-in request (the MD5 digest of the password, the
/// service's answer read as the sign-in dialog reads it) and stores the token and user
/// name where the plug-in keeps them for the session's flavour. Prints "signed in as
/// NAME". Returns 0 when signed in; 1 when the service refused (its reason on stderr),
/// gave no token, could not be reached, or the account could not be stored (the
/// previous account then stays); 2 when the e-mail address or password cannot be asked
/// for; 130 or 143 when interrupted. Host's thread.
int CommandSignIn(HostSession& session, const SignInOptions& options);

/// Forgets the stored account of the session's flavour, as the settings dialog's
/// forgetting does (empty values). Returns 0, or 1 when the store could not be written.
/// Host's thread.
int CommandSignOut(HostSession& session);

/// Returns the lines `show` prints about the account and the picture size kept beside
/// it: who is signed in (or that no one is), and the size asked for without a monitor.
/// Any thread.
std::string AccountSummary(int flavour);

}  // namespace orvella::host
