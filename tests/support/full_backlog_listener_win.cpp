// The full backlog with Winsock.
#include "tests/support/full_backlog_listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

namespace orvella::test {
namespace {

constexpr int kMaxFillers = 64;
constexpr long kConnectedWithinMs = 200;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  return address;
}

// True when the connect on `s` completes within kConnectedWithinMs.
bool Connected(SOCKET s) {
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(s, &writable);
  timeval wait{0, kConnectedWithinMs * 1000};
  return ::select(0, nullptr, &writable, nullptr, &wait) == 1;
}

}  // namespace

FullBacklogListener::FullBacklogListener() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
  listener_ = static_cast<intptr_t>(listener);
  sockaddr_in address = Loopback(0);
  int size = sizeof address;
  if (listener == INVALID_SOCKET ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listener, 0) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("full backlog listener: cannot listen");
  }
  port_ = ntohs(address.sin_port);
  for (int i = 0; i < kMaxFillers; ++i) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    const sockaddr_in target = Loopback(port_);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 &&
        ::WSAGetLastError() != WSAEWOULDBLOCK) {
      ::closesocket(s);
      break;
    }
    if (!Connected(s)) {
      ::closesocket(s);
      return;
    }
    fillers_.push_back(static_cast<intptr_t>(s));
  }
  throw std::runtime_error("full backlog listener: the backlog does not fill");
}

FullBacklogListener::~FullBacklogListener() {
  for (const intptr_t s : fillers_) ::closesocket(static_cast<SOCKET>(s));
  if (listener_ != static_cast<intptr_t>(INVALID_SOCKET)) {
    ::closesocket(static_cast<SOCKET>(listener_));
  }
  ::WSACleanup();
}

}  // namespace orvella::test
