// orvella-host configure: message 5, then message 6 after OK.
#include "tools/orvella-host/configure_command.h"

#include <atomic>
#include <cstdio>

namespace orvella::host {

int CommandConfigure(HostSession& session, uintptr_t ownerWindow) {
  std::atomic<bool> noDisplay{false};
  session.SetLogObserver([&](const std::wstring& line) {
    if (line.starts_with(L"Configure: no display available")) noDisplay = true;
  });
  const intptr_t closedWithOk = session.Send(5, ownerWindow);
  session.SetLogObserver(nullptr);
  if (noDisplay) {
    std::fprintf(stderr,
                 "orvella-host: the settings dialog needs a display, and there is none ($DISPLAY "
                 "is not set or cannot be opened); nothing changed\n");
    return 1;
  }
  // The host asks rather than trusting message 5's answer: that is what decides a save.
  if (session.Send(8) != 0) {
    session.Send(6);
    if (!session.SaveProfile()) return 1;
    std::printf("settings saved to %s\n", session.profile().path().c_str());
  } else {
    std::printf("settings unchanged (%s)\n", closedWithOk != 0 ? "closed with OK" : "cancelled");
  }
  return 0;
}

}  // namespace orvella::host
