// orvella-host's version, show, enable and disable commands.
#include "tools/orvella-host/host_commands.h"

#include <cstdio>

#include "base/text_utf8.h"
#include "tools/orvella-host/account_commands.h"

namespace orvella::host {

int CommandVersion(HostSession& session) {
  wchar_t text[128] = {};
  session.Send(2, reinterpret_cast<uintptr_t>(text));
  std::printf("%s\nmodule: %s\n", WideToUtf8(text).c_str(), session.modulePath().c_str());
  if (session.options().verbosity >= 2) {
    std::printf("message 1 answers %ld\n", static_cast<long>(session.Send(1)));
  }
  return 0;
}

int CommandShow(HostSession& session) {
  std::printf("profile: %s%s\n", session.profile().path().c_str(),
              session.profile().existed() ? "" : " (not there yet: the defaults)");
  for (const ProfileRead& read : session.reads()) {
    std::printf("  %-14s = %s\n", read.key.c_str(), read.value.c_str());
  }
  const intptr_t state = session.Send(40, 0, 0);
  std::printf("plug-in is %s\n", state == 2 ? "enabled" : "disabled");
  std::printf("%s", AccountSummary(session.options().flavour).c_str());
  return 0;
}

int CommandSetEnabled(HostSession& session, bool enable) {
  const intptr_t state = session.Send(40, 1, enable ? 1 : 0);
  session.Send(6);
  if (!session.SaveProfile()) return 1;
  std::printf("plug-in %s (%s)\n", state == 2 ? "enabled" : "disabled",
              session.profile().path().c_str());
  return 0;
}

}  // namespace orvella::host
