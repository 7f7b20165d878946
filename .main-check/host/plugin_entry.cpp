// The module's one export and its one application object.
#include <cstdint>

#include "host/orvella_app.h"
#include "host/orvella_thread.h"

namespace {
// Constructed when the module is loaded, destroyed when it is unloaded.
orvella::COrvellaApp theApp;
}  // namespace

namespace orvella {
// The module is being unloaded: the worker is stopped before the application object goes.
void PrepareModuleUnload() {
  if (theApp.worker) theApp.worker->EndForUnload();
}
}  // namespace orvella

extern "C" __attribute__((visibility("default"))) intptr_t rvtPlugInMsgHandler(uintptr_t code,
                                                                               uintptr_t a,
                                                                               uintptr_t b) {
  return theApp.HandleMessage(code, a, b);
}
