// The reference host's commands. Each returns the process exit status.
#pragma once

#include "tools/orvella-host/host_session.h"

namespace orvella::host {

int CommandVersion(HostSession& session);
int CommandShow(HostSession& session);
/// Message 40 with `enable`, then message 6.
int CommandSetEnabled(HostSession& session, bool enable);

}  // namespace orvella::host
