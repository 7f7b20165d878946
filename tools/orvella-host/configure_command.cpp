// orvella-host configure: message 5, then message 6 after OK.
#include "tools/orvella-host/configure_command.h"

#include <cstdio>

namespace orvella::host {

int CommandConfigure(HostSession& session, uintptr_t ownerWindow) {
  const intptr_t closedWithOk = session.Send(5, ownerWindow);
  // The host asks rather than trusting message 5's answer: that is what decides a save.
  const intptr_t changed = session.Send(8);
  if (changed != 0) {
    session.Send(6);
    std::printf("settings saved to %s\n", session.profile().path().c_str());
  } else {
    std::printf("settings unchanged (%s)\n",
                closedWithOk != 0 ? "closed with OK" : "cancelled or no display");
  }
  return 0;
}

}  // namespace orvella::host
