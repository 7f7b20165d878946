// The real module, loaded with dlopen by the test process.
#pragma once

#include <cstdint>
#include <string>

namespace orvella::test {

/// Path of the built Orvella.rpl (compiled in by CMake).
std::string ModulePath();

/// A freshly loaded copy of the module. RTLD_LOCAL with a private copy of the file per
/// instance would be needed for two at once; tests load one at a time.
class LoadedModule {
 public:
  LoadedModule();
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
