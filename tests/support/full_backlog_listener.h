// A port on 127.0.0.1 that accepts no more connections: its listen backlog is full, so
// the system drops a new connection's SYN and the connecting side waits (retrying) until
// its own connect time-out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvella::test {

class FullBacklogListener {
 public:
  /// Listens with the smallest backlog and fills it. Throws std::runtime_error when the
  /// system does not leave a further connection waiting.
  FullBacklogListener();
  ~FullBacklogListener();
  FullBacklogListener(const FullBacklogListener&) = delete;
  FullBacklogListener& operator=(const FullBacklogListener&) = delete;

  /// "http://127.0.0.1:PORT".
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  intptr_t listener_ = -1;
  std::vector<intptr_t> fillers_;  // connections that took the backlog's places
  int port_ = 0;
};

}  // namespace orvella::test
