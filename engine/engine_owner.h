// What the engine needs from whoever owns it: the settings its worker reads and a way to
// tell the host that new files arrived. The plug-in's application object implements it.
#pragma once

#include "model/plugin_settings.h"

namespace orvella {

class CEngineOwner {
 public:
  virtual ~CEngineOwner() = default;
  /// Returns the current settings. Called with the engine lock held, so it must neither
  /// block nor call back into the engine. Worker thread.
  virtual PluginSettings WorkerSettingsLocked() const = 0;
  /// Tells the host that a batch stored new files. Called without the engine lock.
  /// Worker thread.
  virtual void NotifyNewFiles() = 0;
};

}  // namespace orvella
