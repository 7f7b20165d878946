// A server in the process that answers one prepared body on every path at full speed, and
// tells when the body's last byte went out: for the benchmarks.
#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

namespace orvella::test {

class BodyServer {
 public:
  BodyServer(std::string body, std::string type) : body_(std::move(body)) {
    server_.Get(".*", [this, type](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(
          body_.size(), type,
          [this](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const bool written = sink.write(body_.data() + offset, length);
            if (offset + length == body_.size()) sent_.store(true);
            return written;
          });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~BodyServer() {
    while (!server_.is_running()) std::this_thread::yield();
    server_.stop();
    thread_.join();
  }
  BodyServer(const BodyServer&) = delete;
  BodyServer& operator=(const BodyServer&) = delete;

  /// "http://127.0.0.1:PORT".
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  /// True once an answer's last byte was handed to the connection.
  bool Sent() const { return sent_.load(); }

 private:
  std::string body_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> sent_{false};
};

}  // namespace orvella::test
