// The folder probe on POSIX: an O_TMPFILE file, which has no name to leave behind.
#include "tools/orvella-host/folder_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvella::host {

std::string WriteProbeProblem(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    // File systems without unnamed files answer EOPNOTSUPP; kernels that predate them
    // take O_TMPFILE for O_DIRECTORY and answer EISDIR.
    if (error != EOPNOTSUPP && error != EISDIR) return std::strerror(error);
    if (::access(folder.c_str(), W_OK | X_OK) == 0) return "";
    return std::strerror(errno);
  }
  ssize_t written = -1;
  do {
    written = ::write(fd, "p", 1);
  } while (written < 0 && errno == EINTR);
  const int error = written == 1 ? 0 : (written < 0 ? errno : ENOSPC);
  ::close(fd);
  return error == 0 ? "" : std::strerror(error);
}

}  // namespace orvella::host
