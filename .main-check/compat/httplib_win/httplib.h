// The part of cpp-httplib's server API that the tests' loopback server uses, over
// Winsock, for the mingw build: Debian's cpp-httplib is a compiled library with no mingw
// build. One thread per connection; every answer closes its connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {

/// Header names compare without regard to ASCII case, as in cpp-httplib.
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using Headers = std::multimap<std::string, std::string, NoCaseLess>;

struct Request {
  std::string method;
  std::string target;  // the request target as sent
  std::string path;    // the target's path, %-escapes decoded, without the query
  std::string version;
  Headers headers;
  std::multimap<std::string, std::string> params;  // the query's parameters, decoded
  std::smatch matches;                             // the route's groups, over `path`

  bool has_param(const std::string& key) const { return params.count(key) != 0; }
};

/// Where a content provider writes the body.
class DataSink {
 public:
  /// Sends `length` bytes; returns false when the connection is gone.
  std::function<bool(const char* data, std::size_t length)> write;
  /// Ends a chunked body.
  std::function<void()> done;
  /// False once the client has closed the connection.
  std::function<bool()> is_writable;
};

/// Called with the offset reached and the bytes still announced; returns false to drop
/// the connection.
using ContentProvider = std::function<bool(std::size_t offset, std::size_t length, DataSink& sink)>;
/// Called with the offset reached; calls sink.done() at the end of the body.
using ContentProviderWithoutLength = std::function<bool(std::size_t offset, DataSink& sink)>;

struct Response {
  int status = -1;
  Headers headers;
  std::string body;

  void set_header(const std::string& name, const std::string& value);
  /// Answers with `status` and a Location header.
  void set_redirect(const std::string& url, int status = 302);
  void set_content(const std::string& body, const std::string& contentType);
  /// The body is `length` bytes long (announced in Content-Length) and comes from
  /// `provider`.
  void set_content_provider(std::size_t length, const std::string& contentType,
                            ContentProvider provider);

  /// The body comes from `provider` in chunks of the chunked transfer coding.
  void set_chunked_content_provider(const std::string& contentType,
                                    ContentProviderWithoutLength provider);

  std::size_t providerLength = 0;
  ContentProvider provider;
  ContentProviderWithoutLength chunkedProvider;
};

class Server {
 public:
  using Handler = std::function<void(const Request&, Response&)>;

  Server();
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  /// Routes GET requests whose path matches the regular expression `pattern`.
  Server& Get(const std::string& pattern, Handler handler);
  /// Accepted for compatibility: every answer closes its connection.
  void set_keep_alive_timeout(long seconds) { (void)seconds; }
  /// Binds to a free port of `host`; returns the port, or -1.
  int bind_to_any_port(const std::string& host, int socketFlags = 0);
  /// Accepts connections until stop(); returns false when not bound.
  bool listen_after_bind();
  bool is_running() const { return running_.load(); }
  /// Stops accepting and waits for the connections in progress to end.
  void stop();

 private:
  void Serve(std::uintptr_t connection);

  struct Route;
  std::vector<std::shared_ptr<Route>> routes_;
  std::atomic<std::uintptr_t> listener_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::thread> connections_;
  std::vector<std::uintptr_t> open_;  // sockets of the connections in progress
};

}  // namespace httplib
