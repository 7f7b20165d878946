// The plug-in's application object: settings, host callback, engine, message handler.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/host_callback.h"
#include "base/profile_requests.h"
#include "engine/orvella_engine.h"
#include "host/host_profile.h"
#include "model/plugin_settings.h"

namespace orvella {

class CDialogPlatform;
class COrvellaThread;

/// Message codes of rvtPlugInMsgHandler.
enum PluginMessage : uintptr_t {
  kMsgIdentify = 1,
  kMsgVersion = 2,
  kMsgSetCallback = 3,
  kMsgConfigure = 5,
  kMsgSaveSettings = 6,
  kMsgLoadSettings = 7,
  kMsgSettingsChanged = 8,
  kMsgStart = 9,
  kMsgStop = 10,
  kMsgHostFlavour = 28,
  kMsgEnable = 40,
};

class COrvellaApp final : public CEngineOwner, public CHostProfile {
 public:
  COrvellaApp();
  /// Stops a worker that still runs and waits for it before the engine goes away.
  ~COrvellaApp() override;
  COrvellaApp(const COrvellaApp&) = delete;
  COrvellaApp& operator=(const COrvellaApp&) = delete;

  /// Handles one host message and returns its result (0 for unknown codes).
  /// Called on the host's thread.
  intptr_t HandleMessage(uintptr_t code, uintptr_t a, uintptr_t b);

  /// Profile helpers: one host callback each. Reads return the default when no
  /// callback is registered. Called on the host's thread.
  int32_t ReadHostInt(const wchar_t* section, const wchar_t* key, int32_t defaultValue) override;
  std::wstring ReadHostString(const wchar_t* section, const wchar_t* key,
                              const wchar_t* defaultValue) override;
  void WriteHostInt(const wchar_t* section, const wchar_t* key, int32_t value) override;
  void WriteHostString(const wchar_t* section, const wchar_t* key,
                       const std::wstring& value) override;

  /// The engine's view of the settings; called with the engine lock held. Worker thread.
  PluginSettings WorkerSettingsLocked() const override;
  /// Operation 9 with 5 and 1. Worker thread.
  void NotifyNewFiles() override;

  /// Message 7: loads settings, account and feeds. Returns 1.
  intptr_t LoadSettings();
  /// Message 6: saves settings, account and feeds. Returns 1.
  intptr_t SaveSettings();
  /// Message 5: runs the configuration dialog owned by the host window `ownerWindow`.
  /// Returns 1 after OK (settings copied back, settingsChanged 1), else 0. Host's thread.
  intptr_t Configure(uintptr_t ownerWindow);
  /// Message 2: writes the version text into `buffer`. Returns 1.
  intptr_t ReportVersion(wchar_t* buffer);

  /// Calls the host callback, if one is registered. Any thread.
  void CallHost(uint32_t op, uintptr_t a, uintptr_t b);
  /// Profile requests sent through CallHost. Any thread.
  ProfileSender ProfileToHost();

  /// Enabled, tmUpdate, ImgFolder and the minimum-age rule; written under the engine lock
  /// (the worker reads them), read without it on the host's thread.
  PluginSettings settings;
  int32_t settingsChanged = 0;
  int32_t hostFlavour = 0;
  COrvellaEngine engine;
  /// The worker, started by message 9; declared after the engine so that it is
  /// destroyed (stopped and waited for) first. Host's thread only; null until started.
  std::unique_ptr<COrvellaThread> worker;
  std::atomic<HostCallback> hostCallback{nullptr};
  /// The dialog toolkit, made by message 5 on first use; tests may put their own here.
  std::unique_ptr<CDialogPlatform> dialogPlatform;
};

}  // namespace orvella
