// One run of the reference host: the module, its profile and the callback that serves it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tools/orvella-host/ini_profile.h"
#include "tools/orvella-host/plugin_module.h"

namespace orvella::host {

struct HostOptions {
  std::string modulePath;    // empty: the first of ModuleCandidates() that exists
  std::string profilePath;   // empty: DefaultProfilePath()
  int flavour = 0;           // message 28's value; 1 is the Kavex flavour
  int verbosity = 1;         // 0: results and errors only; 1: progress too; 2: everything
  bool pluginLines = false;  // print the plug-in's diagnostic lines on stderr
};

/// One profile value as the plug-in read it during a load.
struct ProfileRead {
  std::string key;
  std::string value;
};

class HostSession {
 public:
  explicit HostSession(HostOptions options);
  ~HostSession();

  /// Reads the profile, loads the module, registers the callback, announces the flavour
  /// and loads the settings (messages 3, 28, 7). Returns false with a message on stderr
  /// when the profile cannot be read or parsed (before the module is loaded), when the
  /// module cannot be loaded, or when the plug-in read a value it could not use.
  bool Open();
  /// Sends one message to the module.
  intptr_t Send(uintptr_t code, uintptr_t a = 0, uintptr_t b = 0) {
    return module_.Send(code, a, b);
  }
  /// Writes what the plug-in stored (message 6) to the profile file. Returns false with a
  /// message on stderr when it could not be written; the file is then unchanged.
  bool SaveProfile();
  /// Stops a worker (message 10) and unloads the module; ends ListenToLinkedCode().
  void Close();
  /// Takes the diagnostic lines of the plug-in's code that this program links itself (the
  /// sign-in request) as it takes the module's: printed with -v and given to the log
  /// observer, until Close(). Host's thread, before that code runs.
  void ListenToLinkedCode();

  IniProfile& profile() { return profile_; }
  const HostOptions& options() const { return options_; }
  /// The module's file as it was loaded.
  const std::string& modulePath() const { return modulePath_; }
  /// Profile values read by the last load, in the order the plug-in asked for them.
  const std::vector<ProfileRead>& reads() const { return reads_; }
  /// The value the last load read for `key` ("" when it read none), strings unquoted.
  std::string ReadValue(const std::string& key) const;
  /// How many times the plug-in sent operation 9.
  int notifications() const { return notifications_.load(); }
  /// Called for every diagnostic line (after it was printed), from any thread.
  void SetLogObserver(std::function<void(const std::wstring&)> observer) {
    observer_ = std::move(observer);
  }

 private:
  static intptr_t Callback(uint32_t op, uintptr_t a, uintptr_t b);
  void OnLog(const wchar_t* source, const wchar_t* line);
  bool LoadModule();

  HostOptions options_;
  IniProfile profile_;
  PluginModule module_;
  std::string modulePath_;
  std::vector<ProfileRead> reads_;
  bool recordReads_ = false;
  bool linkedLog_ = false;
  std::atomic<int> notifications_{0};
  std::function<void(const std::wstring&)> observer_;
};

/// Returns "HH:MM:SS.mmm" of the current local time.
std::string TimeStamp();

/// How long a wait for the service goes without a word before orvella-host says what it
/// waits for.
inline constexpr std::chrono::seconds kQuietNotice{5};

/// Returns whether `line`, a line of the plug-in's log, says that a request reached no
/// service. Any thread.
bool IsUnreachableLine(const std::wstring& line);

}  // namespace orvella::host
