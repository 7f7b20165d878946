// Thread names through pthread_setname_np (the thread's "comm" on Linux).
#include "system/thread_name.h"

#include <pthread.h>

namespace orvella {

void NameCurrentThread(const char* name) {
  ::pthread_setname_np(::pthread_self(), name);
}

}  // namespace orvella
