// What the engine needs from whoever owns it: the settings its worker reads and a way to
// tell the host that new files arrived. The plug-in's application object implements it.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

/// The owner's settings the worker reads, copied under the engine lock.
struct WorkerSettings {
  std::wstring imgFolder;
  int32_t tmUpdate = 0;
  int32_t minAgeCheck = 0;
  int32_t minAgeDays = 0;
  int32_t minAgeHours = 0;
};

class CEngineOwner {
 public:
  virtual ~CEngineOwner() = default;
  /// Returns the current settings. Called with the engine lock held, so it must neither
  /// block nor call back into the engine. Worker thread.
  virtual WorkerSettings WorkerSettingsLocked() const = 0;
  /// Tells the host that a batch stored new files. Called without the engine lock.
  /// Worker thread.
  virtual void NotifyNewFiles() = 0;
};

}  // namespace orvella
