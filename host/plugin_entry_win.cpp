// The Windows module's entry point: keeps the module handle for the version resource,
// the dialog templates and the help file beside the module, and stops a running worker
// when the module is unloaded.
#include <windows.h>

#include "system/module_instance_win.h"

namespace orvella {
void PrepareModuleUnload();  // plugin_entry.cpp
}

// FreeLibrary (not the process's end, when the other threads are gone already) with a
// worker running: it is stopped here, under the loader lock, without waiting for its
// thread to end, which would need that lock (system/thread_exit_gate.h).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) orvella::SetModuleInstance(instance);
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) orvella::PrepareModuleUnload();
  return TRUE;
}
