// The real module, loaded with dlopen by the test process.
#pragma once

#include <cstdint>
#include <string>

namespace orvella::test {

/// Path of the built Orvella.rpl (compiled in by CMake).
std::string ModulePath();

/// Number of this process's threads that carry `name` (system/thread_name.h), so a test
/// can see the module's worker come and go.
int CountThreadsNamed(const std::string& name);

/// A freshly loaded copy of the module. Loading the same file twice gives the same
/// module: two at once (two hosts) need a copy of the file for the second.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& path = ModulePath());
  ~LoadedModule();
  intptr_t Send(uintptr_t code, uintptr_t a = 0, uintptr_t b = 0) const;
  /// Unloads the module now (runs its destructors).
  void Unload();
  void* handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
  intptr_t (*handler_)(uintptr_t, uintptr_t, uintptr_t) = nullptr;
};

}  // namespace orvella::test
