// Message 5: the settings copied into the dialog and, after OK, back under the lock.
#include "host/configure_message.h"

#include <mutex>

#include "base/write_log.h"
#include "host/orvella_app.h"
#include "ui/orvella_dlg.h"

namespace orvella {

intptr_t RunConfigureMessage(COrvellaApp& app, uintptr_t ownerWindow, CDialogPlatform& platform,
                             CAuthorizer& authorizer) {
  if (!platform.Open()) {
    WriteLog(L"Configure: no display available, the configuration dialog can't be shown");
    return 0;
  }
  COrvellaDlg dialog(platform, authorizer, ownerWindow);
  {
    std::lock_guard<std::mutex> guard(app.engine.lock);
    dialog.Enabled = app.Enabled;
    dialog.ImgFolder = app.ImgFolder;
    dialog.tmUpdate = app.tmUpdate;
    dialog.feeds.Copy(app.engine.feeds);
    dialog.token = app.engine.token;
    dialog.user = app.engine.user;
  }
  // The lock is not held while the dialog runs: the worker keeps its settings meanwhile.
  if (dialog.DoModal() != kResultOk) return 0;
  {
    std::lock_guard<std::mutex> guard(app.engine.lock);
    app.Enabled = dialog.Enabled;
    app.tmUpdate = dialog.tmUpdate;
    app.settingsChanged = 1;  // even when nothing was edited
    app.ImgFolder = dialog.ImgFolder;
    app.engine.feeds.Copy(dialog.feeds);
    ++app.engine.feedsGeneration;
    app.engine.token = dialog.token;
    app.engine.user = dialog.user;
  }
  return 1;
}

}  // namespace orvella
