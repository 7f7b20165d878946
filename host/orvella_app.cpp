// The application object: the message table, the profile helpers, load and save.
#include "host/orvella_app.h"

#include <cwchar>

#include "base/write_log.h"
#include "host/config_store.h"
#include "host/configure_message.h"
#include "host/orvella_thread.h"
#include "system/module_version.h"
#include "ui/toolkit_pin.h"

namespace orvella {

COrvellaApp::COrvellaApp() : engine(*this) {
  KeepToolkitLoaded();
}

COrvellaApp::~COrvellaApp() {
  worker.reset();
}

PluginSettings COrvellaApp::WorkerSettingsLocked() const {
  return settings;
}

void COrvellaApp::NotifyNewFiles() {
  CallHost(kHostOpNotify, 5, 1);
}

void COrvellaApp::CallHost(uint32_t op, uintptr_t a, uintptr_t b) {
  if (const HostCallback callback = hostCallback.load()) callback(op, a, b);
}

ProfileSender COrvellaApp::ProfileToHost() {
  return [this](HostOp op, ProfileRequest& request) {
    CallHost(op, reinterpret_cast<uintptr_t>(&request), 0);
  };
}

int32_t COrvellaApp::ReadHostInt(const wchar_t* section, const wchar_t* key, int32_t defaultValue) {
  if (hostCallback.load() == nullptr) return defaultValue;
  return ReadProfileInt(ProfileToHost(), section, key, defaultValue);
}

std::wstring COrvellaApp::ReadHostString(const wchar_t* section, const wchar_t* key,
                                         const wchar_t* defaultValue) {
  if (hostCallback.load() == nullptr) return defaultValue;
  return ReadProfileString(ProfileToHost(), section, key, defaultValue);
}

void COrvellaApp::WriteHostInt(const wchar_t* section, const wchar_t* key, int32_t value) {
  WriteProfileInt(ProfileToHost(), section, key, value);
}

void COrvellaApp::WriteHostString(const wchar_t* section, const wchar_t* key,
                                  const std::wstring& value) {
  WriteProfileString(ProfileToHost(), section, key, value);
}

intptr_t COrvellaApp::LoadSettings() {
  // Everything is read from the host first; the engine lock is taken only to publish it,
  // so the worker is never held up by the host's profile.
  PluginSettings loaded;
  loaded.Enabled = ReadHostInt(kProfileSection, L"Enabled", 0);
  loaded.tmUpdate = ReadHostInt(kProfileSection, L"tmUpdate", 1440);
  loaded.ImgFolder = ReadHostString(kProfileSection, L"ImgFolder", L"");
  // A load restarts the minimum-age rule: every unused file counts as old enough.
  loaded.minAgeCheck = 1;
  loaded.minAgeDays = 0;
  loaded.minAgeHours = 0;
  const StoredConfig stored = LoadConfig(*this, hostFlavour);
  {
    std::lock_guard<std::mutex> guard(engine.lock);
    settings = std::move(loaded);
    ApplyStoredConfig(stored, engine);
    ++engine.feedsGeneration;
    settingsChanged = 0;
  }
  return 1;
}

intptr_t COrvellaApp::SaveSettings() {
  StoredConfig stored;
  PluginSettings saved;
  {
    std::lock_guard<std::mutex> guard(engine.lock);
    stored = SnapshotConfig(engine);
    saved = settings;
  }
  WriteHostInt(kProfileSection, L"Enabled", saved.Enabled);
  WriteHostInt(kProfileSection, L"tmUpdate", saved.tmUpdate);
  WriteHostString(kProfileSection, L"ImgFolder", saved.ImgFolder);
  SaveConfig(*this, hostFlavour, stored);
  settingsChanged = 0;
  return 1;
}

intptr_t COrvellaApp::Configure(uintptr_t ownerWindow) {
  if (!dialogPlatform) dialogPlatform = CreateDialogPlatform();
  return RunConfigureMessage(settings, settingsChanged, engine, ownerWindow, *dialogPlatform,
                             ServiceAuthorizer());
}

intptr_t COrvellaApp::ReportVersion(wchar_t* buffer) {
  CModuleVersion version;
  const bool valid = version.ReadModuleVersion();
  const std::wstring text = VersionReportText(version, valid);
  if (buffer != nullptr) std::wmemcpy(buffer, text.c_str(), text.size() + 1);
  return 1;
}

intptr_t COrvellaApp::HandleMessage(uintptr_t code, uintptr_t a, uintptr_t b) {
  switch (code) {
    case kMsgIdentify:
      return 256;
    case kMsgVersion:
      return ReportVersion(reinterpret_cast<wchar_t*>(a));
    case kMsgSetCallback:
      hostCallback.store(reinterpret_cast<HostCallback>(a));
      SetLogCallback(reinterpret_cast<HostCallback>(a));
      return 1;
    case kMsgConfigure:
      return Configure(a);
    case kMsgSaveSettings:
      return SaveSettings();
    case kMsgLoadSettings:
      return LoadSettings();
    case kMsgSettingsChanged:
      return settingsChanged;
    case kMsgStart: {
      // The worker is started once; after a stop the object stays and a later start
      // does nothing. A failed thread creation leaves the pointer null for a retry.
      bool haveFeeds = false;
      int32_t enabled = 0;
      {
        std::lock_guard<std::mutex> guard(engine.lock);
        haveFeeds = !engine.feeds.IsEmpty();
        enabled = settings.Enabled;
      }
      if (enabled != 0 && haveFeeds && !worker) worker = COrvellaThread::Start(engine);
      return 0;
    }
    case kMsgStop:
      if (b != 0 && worker) worker->Stop();
      return 0;
    case kMsgHostFlavour:
      hostFlavour = static_cast<int32_t>(static_cast<uint32_t>(a));
      return a == 1 ? 1 : -1;
    case kMsgEnable: {
      std::lock_guard<std::mutex> guard(engine.lock);
      if (a != 0) settings.Enabled = static_cast<int32_t>(static_cast<uint32_t>(b));
      return settings.Enabled + 1;
    }
    default:
      return 0;
  }
}

}  // namespace orvella
