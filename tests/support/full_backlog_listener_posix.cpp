// The full backlog with POSIX sockets.
#include "tests/support/full_backlog_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace orvella::test {
namespace {

constexpr int kMaxFillers = 64;
constexpr int kConnectedWithinMs = 200;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

}  // namespace

FullBacklogListener::FullBacklogListener() {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  listener_ = listener;
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listener, 0) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("full backlog listener: cannot listen");
  }
  port_ = ntohs(address.sin_port);
  // Connections that complete take the backlog's places; the first one left waiting shows
  // that it is full.
  for (int i = 0; i < kMaxFillers; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const sockaddr_in target = Loopback(port_);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 &&
        errno != EINPROGRESS) {
      ::close(fd);
      break;
    }
    pollfd wait{fd, POLLOUT, 0};
    if (::poll(&wait, 1, kConnectedWithinMs) == 0) {
      ::close(fd);
      return;
    }
    fillers_.push_back(fd);
  }
  throw std::runtime_error("full backlog listener: the backlog does not fill");
}

FullBacklogListener::~FullBacklogListener() {
  for (const intptr_t fd : fillers_) ::close(static_cast<int>(fd));
  if (listener_ >= 0) ::close(static_cast<int>(listener_));
}

}  // namespace orvella::test
