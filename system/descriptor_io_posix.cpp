// Whole-buffer reads and writes over POSIX descriptors.
#include "system/descriptor_io_posix.h"

#include <unistd.h>

#include <cerrno>

namespace orvella {

bool WriteAllTo(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

ReadOutcome ReadAllFrom(int fd, off_t size, std::string& bytes, std::size_t maxBytes) {
  bytes.clear();
  if (static_cast<std::uint64_t>(size) > maxBytes) return ReadOutcome::kTooLarge;
  if (size > 0) bytes.reserve(ReadReserve(static_cast<std::uint64_t>(size)));
  char block[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      bytes.clear();
      return ReadOutcome::kMissing;
    }
    if (n == 0) return ReadOutcome::kRead;
    bytes.append(block, static_cast<std::size_t>(n));
    if (bytes.size() > maxBytes) {
      bytes.clear();
      return ReadOutcome::kTooLarge;
    }
  }
}

}  // namespace orvella
