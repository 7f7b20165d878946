// The handle of the module the plug-in's code runs in (Windows).
#pragma once

#include <windows.h>

namespace orvella {

/// Records the handle DllMain received on DLL_PROCESS_ATTACH. Loader's thread.
void SetModuleInstance(HMODULE module) noexcept;

/// Returns the plug-in module's handle: the one DllMain recorded or, in a program that
/// links the plug-in's code directly (the unit tests), the module holding this code.
/// Never null. Any thread.
HMODULE ModuleInstance() noexcept;

}  // namespace orvella
