// Builds whose toolkit is part of the system (Win32) or that have none: nothing to keep.
#include "ui/toolkit_pin.h"

namespace orvella {

void KeepToolkitLoaded() {}

}  // namespace orvella
