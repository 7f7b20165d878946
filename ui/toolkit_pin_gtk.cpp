// GTK pinned in the process with RTLD_NODELETE.
#include "ui/toolkit_pin.h"

#include <dlfcn.h>

namespace orvella {

void KeepToolkitLoaded() {
  // RTLD_NOLOAD finds the copy the module was linked against; RTLD_NODELETE then keeps it,
  // and with it the libraries it depends on, after the module's own unload. The handle
  // is deliberately never closed.
  static void* const pinned = ::dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  (void)pinned;
}

}  // namespace orvella
