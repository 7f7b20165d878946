#include "engine/orvella_engine.h"

#include <chrono>

namespace orvella {

uint32_t SystemTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

COrvellaEngine::COrvellaEngine(COrvellaApp& owner) : app(owner), tickCount(&SystemTickCount) {
  files.rehash(17);
}

COrvellaEngine::~COrvellaEngine() = default;

}  // namespace orvella
