// Loading a plug-in module and calling its one export.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvella::host {

using MsgHandler = intptr_t (*)(uintptr_t code, uintptr_t a, uintptr_t b);

/// A loaded plug-in module; unloaded when destroyed.
class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  /// Loads the module at `path` and finds rvtPlugInMsgHandler. A relative path is taken
  /// from the current folder, never from the system's library search path. Returns false
  /// and sets `error` when either fails.
  bool Load(const std::string& path, std::string& error);
  /// Unloads the module (the module stops its worker first). Safe when not loaded.
  void Unload();
  /// Sends one message; returns its result. Requires a loaded module.
  intptr_t Send(uintptr_t code, uintptr_t a = 0, uintptr_t b = 0) const {
    return handler_(code, a, b);
  }
  bool loaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
  MsgHandler handler_ = nullptr;
};

/// Returns where the module is looked for when none is named, in order: "Orvella.rpl"
/// beside the running program (a build tree), then in the plug-in folder of the
/// installed tree the program belongs to (Linux).
std::vector<std::string> ModuleCandidates();

}  // namespace orvella::host
