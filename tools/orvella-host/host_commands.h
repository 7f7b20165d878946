// The reference host's commands. Each returns the process exit status.
#pragma once

#include "tools/orvella-host/host_session.h"

namespace orvella::host {

/// Prints the module's version report (message 2) and its path. Returns 0.
int CommandVersion(HostSession& session);
/// Prints the profile's path, the values the plug-in loaded, whether it is enabled, who
/// is signed in and the size kept for runs without a monitor. Returns 0.
int CommandShow(HostSession& session);
/// Message 40 with `enable`, then message 6 and the profile written. Returns 1 when the
/// profile could not be written, else 0.
int CommandSetEnabled(HostSession& session, bool enable);

}  // namespace orvella::host
