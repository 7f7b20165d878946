// orvella-host's set and unset commands: the settings the dialog edits, set from a
// terminal and written as the plug-in writes them.
#pragma once

#include <string>
#include <vector>

#include "tools/orvella-host/host_session.h"
#include "tools/orvella-host/setting_values.h"

namespace orvella::host {

/// Prints why `change` is refused on stderr (with the hint to --help for a command line
/// of the wrong shape). Returns 2.
int RefuseSetting(const SettingChange& change);

/// Applies an accepted `change` to the profile of the opened `session` and saves it the
/// way the settings dialog's OK and the save message do: the value is put into the
/// profile, the plug-in loads it (message 7) and writes its settings back (message 6).
/// The feeds are rebuilt as the dialog rebuilds them. Prints what was set; for an
/// interval below an hour, also the dialog's warning. Returns 0, or 1 when the profile
/// could not be written (it is then unchanged). Host's thread.
int CommandApplySetting(HostSession& session, const SettingChange& change);

/// "set size WIDTHxHEIGHT": stores the picture size the plug-in asks for when it finds no
/// monitor, beside the account. Returns 0; 2 for a size it refuses; 1 when it could not
/// be stored. Host's thread.
int CommandSetSize(const std::vector<std::string>& arguments);

}  // namespace orvella::host
