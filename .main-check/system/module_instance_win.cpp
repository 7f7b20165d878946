// The module handle DllMain keeps (Windows).
#include "system/module_instance_win.h"

#include <atomic>

namespace orvella {
namespace {
std::atomic<HMODULE> g_instance{nullptr};
}

void SetModuleInstance(HMODULE module) noexcept {
  g_instance.store(module);
}

HMODULE ModuleInstance() noexcept {
  if (HMODULE recorded = g_instance.load()) return recorded;
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&g_instance), &self);
  return self != nullptr ? self : ::GetModuleHandleW(nullptr);
}

}  // namespace orvella
