// orvella-host configure: the plug-in's own settings dialog, saved when it changed them.
#pragma once

#include <cstdint>

#include "tools/orvella-host/host_session.h"

namespace orvella::host {

/// Sends message 5 (the dialog, owned by `ownerWindow`, 0: none), then message 8, then
/// message 6 when the settings changed, and writes the profile. Returns 1 when there
/// was no display for the dialog or the profile could not be written, else 0 (a
/// cancelled dialog included).
int CommandConfigure(HostSession& session, uintptr_t ownerWindow = 0);

}  // namespace orvella::host
