// The module loaded with dlopen for a test.
#include "tests/support/module_host.h"

#include <dlfcn.h>

#include <stdexcept>

namespace orvella::test {

std::string ModulePath() {
  return ORVELLA_MODULE_PATH;
}

LoadedModule::LoadedModule() {
  handle_ = ::dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + ::dlerror());
  handler_ = reinterpret_cast<intptr_t (*)(uintptr_t, uintptr_t, uintptr_t)>(
      ::dlsym(handle_, "rvtPlugInMsgHandler"));
  if (handler_ == nullptr) throw std::runtime_error("no rvtPlugInMsgHandler");
}

LoadedModule::~LoadedModule() {
  Unload();
}

intptr_t LoadedModule::Send(uintptr_t code, uintptr_t a, uintptr_t b) const {
  return handler_(code, a, b);
}

void LoadedModule::Unload() {
  if (handle_ != nullptr) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace orvella::test
