// The module's one export and its one application object.
#include <cstdint>

#include "host/orvella_app.h"

namespace {
// Constructed when the module is loaded, destroyed when it is unloaded.
orvella::COrvellaApp theApp;
}  // namespace

extern "C" __attribute__((visibility("default"))) intptr_t rvtPlugInMsgHandler(uintptr_t code,
                                                                               uintptr_t a,
                                                                               uintptr_t b) {
  return theApp.HandleMessage(code, a, b);
}
