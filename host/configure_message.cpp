// Message 5: the settings copied into the dialog and, after OK, back under the lock.
#include "host/configure_message.h"

#include <mutex>

#include "base/write_log.h"
#include "ui/orvella_dlg.h"

namespace orvella {

intptr_t RunConfigureMessage(PluginSettings& settings, int32_t& settingsChanged,
                             COrvellaEngine& engine, uintptr_t ownerWindow,
                             CDialogPlatform& platform, CAuthorizer& authorizer) {
  if (!platform.Open()) {
    WriteLog(L"Configure: no display available, the configuration dialog can't be shown");
    return 0;
  }
  COrvellaDlg dialog(platform, authorizer, ownerWindow);
  {
    std::lock_guard<std::mutex> guard(engine.lock);
    static_cast<PluginSettings&>(dialog) = settings;
    dialog.AssignConfig(engine);
  }
  // The lock is not held while the dialog runs: the worker keeps its settings meanwhile.
  if (dialog.DoModal() != kResultOk) return 0;
  {
    std::lock_guard<std::mutex> guard(engine.lock);
    settings = dialog;
    engine.AssignConfig(dialog);
    ++engine.feedsGeneration;
    settingsChanged = 1;  // even when nothing was edited
  }
  return 1;
}

}  // namespace orvella
