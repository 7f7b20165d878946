// The tick count from GetTickCount64, which counts sleep and hibernation and whose low 32
// bits are GetTickCount's.
#include <windows.h>

#include "system/tick_count.h"

namespace orvella {

uint64_t SystemTickCount() {
  return ::GetTickCount64();
}

}  // namespace orvella
