// Message 5: the settings dialog run on copies of the plug-in's settings.
#pragma once

#include <cstdint>

#include "ui/authorizer.h"
#include "ui/dialog_platform.h"

namespace orvella {

class COrvellaApp;

/// Copies the enabled flag, image folder, interval, feeds, token and user name into a
/// COrvellaDlg, runs it modally owned by `ownerWindow` (0: none) and, after OK, copies
/// them back under the engine lock, marks the settings changed and counts the feed array
/// as replaced. Returns 1 after OK, 0 after Cancel. When `platform` cannot show a dialog
/// (no display) it writes one log line and returns 0 without changing anything. Saves
/// nothing and never touches the worker. Host's thread.
intptr_t RunConfigureMessage(COrvellaApp& app, uintptr_t ownerWindow, CDialogPlatform& platform,
                             CAuthorizer& authorizer);

}  // namespace orvella
