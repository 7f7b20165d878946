// The log line built on the stack and handed to the registered callback.
#include "base/write_log.h"

#include <atomic>

namespace orvella {
namespace {
std::atomic<HostCallback> g_logCallback{nullptr};
}

void SetLogCallback(HostCallback callback) {
  g_logCallback.store(callback);
}

void WriteLogArgs(std::wstring_view format, const FormatArg* args, std::size_t count) noexcept {
  const HostCallback callback = g_logCallback.load();
  if (callback == nullptr) return;
  wchar_t line[kLogLineMax + 1];
  FormatInto(line, kLogLineMax + 1, format, args, count);
  callback(kHostOpLog, reinterpret_cast<uintptr_t>(kLogSource), reinterpret_cast<uintptr_t>(line));
}

}  // namespace orvella
