// The Windows module's entry point: keeps the module handle for the version resource,
// the dialog templates and the help file beside the module.
#include <windows.h>

#include "host/module_instance_win.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) orvella::SetModuleInstance(instance);
  return TRUE;
}
