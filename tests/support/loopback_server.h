// A real HTTP server on 127.0.0.1 inside the test process, with faults on demand: any
// status and body, a delay before the answer, a connection dropped part-way through the
// body, a body that stalls until released. It records every request as it arrived.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Response;
}  // namespace httplib

namespace orvella::test {

/// What a route answers.
struct Reply {
  using Headers = std::vector<std::pair<std::string, std::string>>;
  Reply() = default;
  Reply(int status, std::string body, std::string contentType = "application/json",
        Headers headers = {})
      : status(status),
        body(std::move(body)),
        contentType(std::move(contentType)),
        headers(std::move(headers)) {}

  int status = 200;
  std::string body;
  std::string contentType = "application/json";
  Headers headers;
  /// Send the body with chunked transfer encoding, its length not announced.
  bool chunked = false;
  /// Wait this long before answering at all (ended early by Stop()).
  std::chrono::milliseconds delay{0};
  /// Hold the answer back until ReleaseStalls() or Stop(), then send it whole.
  bool holdUntilReleased = false;
  /// Announce the whole body, send only this many bytes of it, then drop the connection.
  std::optional<std::size_t> closeAfter;
  /// Announce the whole body, send this many bytes, then send nothing more until
  /// ReleaseStalls() or Stop(); the connection is then dropped.
  std::optional<std::size_t> stallAfter;
  /// Announce the whole body and send it one byte at a time, one every `dripEvery`, until
  /// it is complete or Stop().
  std::optional<std::chrono::milliseconds> dripEvery;
  /// Send this many bytes of a pattern in place of `body`, made as they go out (for
  /// bodies too large to hold); announced, or chunked when `chunked` is set.
  std::size_t generatedSize = 0;
};

/// One request as the server received it.
struct ReceivedRequest {
  std::string method;
  std::string target;  // the raw request target of the request line, escapes as sent
  std::string path;    // the decoded path, without the query
  std::multimap<std::string, std::string> headers;

  /// The value of header `name` (case-insensitive), or "" when absent.
  std::string Header(const std::string& name) const;
};

class LoopbackServer {
 public:
  using Handler = std::function<Reply(const ReceivedRequest&)>;

  /// Starts listening on 127.0.0.1 at a free port. Throws std::runtime_error on failure.
  LoopbackServer();
  /// Stops the server (see Stop()).
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  /// "http://127.0.0.1:PORT", no trailing slash.
  std::string BaseUrl() const;
  /// The same as wide text.
  std::wstring WideBaseUrl() const;

  /// Answers GET requests whose decoded path equals `path` with `reply`.
  void Set(const std::string& path, Reply reply);
  /// Answers GET requests whose decoded path equals `path` with what `handler` returns.
  /// The handler runs on one of the server's threads.
  void SetHandler(const std::string& path, Handler handler);
  /// Paths without a route answer 404 with a short text body.

  /// Every request received so far, in arrival order.
  std::vector<ReceivedRequest> requests() const;
  /// The last request received; fails the calling test when there was none.
  ReceivedRequest LastRequest() const;
  std::size_t RequestCount() const;
  void ClearRequests();

  /// Lets every stalled body go on (it is then dropped).
  void ReleaseStalls();
  /// How many answers have been held so far: a delay begun, an answer held back, a body
  /// stalled, a drip begun.
  std::size_t HeldCount() const;
  /// Ends delays and stalls, stops listening and waits for the server's threads.
  /// Afterwards connections to port() are refused. Idempotent.
  void Stop();

 private:
  Reply Answer(const ReceivedRequest& request);
  // Waits for `delay` or until Stop().
  void Sleep(std::chrono::milliseconds delay);
  // Counts a held answer and waits until the next ReleaseStalls() or Stop().
  void HoldUntilReleased();
  void CountHeld();
  // Sends the body of `reply` one byte per reply.dripEvery.
  void Drip(httplib::Response& res, Reply& reply);
  // Sends reply.generatedSize pattern bytes.
  static void Generate(httplib::Response& res, const Reply& reply);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listenEnded_{false};
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool stopping_ = false;
  uint64_t releases_ = 0;  // counts ReleaseStalls() calls
  std::size_t held_ = 0;
  std::map<std::string, Handler> routes_;
  std::vector<ReceivedRequest> requests_;
};

}  // namespace orvella::test
