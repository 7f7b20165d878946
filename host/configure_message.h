// Message 5: the settings dialog run on copies of the plug-in's settings.
#pragma once

#include <cstdint>

#include "engine/orvella_engine.h"
#include "model/plugin_settings.h"
#include "ui/authorizer.h"
#include "ui/dialog_platform.h"

namespace orvella {

/// Copies `settings` and the engine's configuration (feeds, token, user) into a
/// COrvellaDlg, runs it modally owned by `ownerWindow` (0: none) and, after OK, copies
/// both back under the engine lock, sets `settingsChanged` and counts the feed array as
/// replaced. `settings` is the one the engine's owner hands the worker, guarded by the
/// engine lock. Returns 1 after OK, 0 after Cancel. When `platform` cannot show a dialog
/// (no display) it writes one log line and returns 0 without changing anything. Saves
/// nothing and never touches the worker. Host's thread.
intptr_t RunConfigureMessage(PluginSettings& settings, int32_t& settingsChanged,
                             COrvellaEngine& engine, uintptr_t ownerWindow,
                             CDialogPlatform& platform, CAuthorizer& authorizer);

}  // namespace orvella
