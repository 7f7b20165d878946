// A local art service for engine, worker and whole-module tests: feed answers per media
// type, images by name, and faults on demand (404, short body, stall, redirect).
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace orvella::test {

/// One answer of the art endpoint.
struct ArtAnswer {
  int status = 200;
  std::string body;
};

enum class ImageFault {
  kNone,
  kNotFound,   // 404
  kShortBody,  // announces the full length, sends half, closes
  kStall,      // sends the first 8 KiB, then nothing until released (or the client leaves)
};

class ArtServer {
 public:
  /// Starts listening on 127.0.0.1 at a free port.
  ArtServer();
  ~ArtServer();

  /// "http://127.0.0.1:PORT", the value for ORVELLA_SERVER_URL.
  std::string Url() const;
  /// The URL under which the image `name` is served.
  std::wstring ImageUrl(const std::string& name) const;

  /// Feed type 2 (clocks) answers with clock_url entries, any other with wall_url.
  /// Each listed name becomes an entry whose URL is ImageUrl(name).
  void SetCatalog(int type, const std::vector<std::string>& names);
  /// Replaces the answer for a feed type with a script (called per request).
  void SetArtAnswer(int type, std::function<ArtAnswer()> answer);

  void SetImage(const std::string& name, std::string body);
  void SetFault(const std::string& name, ImageFault fault);
  /// Answers the image with a 302 to `location`.
  void SetRedirect(const std::string& name, const std::string& location);
  /// Called when an image request arrives, before it is answered (server thread).
  void OnImageRequest(std::function<void(const std::string& name)> hook);

  /// Blocks until a stalled image has sent its first part.
  void WaitForStall();
  /// Lets stalled images go on (and end).
  void ReleaseStalls();

  int ArtRequests(int type) const;
  int ImageRequests(const std::string& name) const;
  /// The query strings of the art requests, in order.
  std::vector<std::string> ArtQueries() const;
  /// A header of the last request for image `name` ("" when none).
  std::string LastImageHeader(const std::string& name, const std::string& header) const;

 private:
  void Route();
  ArtAnswer Answer(int type);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int, std::vector<std::string>> catalog_;
  std::map<int, std::function<ArtAnswer()>> scripts_;
  std::map<std::string, std::string> images_;
  std::map<std::string, ImageFault> faults_;
  std::map<std::string, std::string> redirects_;
  std::map<std::string, std::map<std::string, std::string>> lastHeaders_;
  std::map<int, int> artRequests_;
  std::map<std::string, int> imageRequests_;
  std::vector<std::string> artQueries_;
  std::function<void(const std::string&)> imageHook_;
  int stallsStarted_ = 0;
  bool released_ = false;
};

/// `n` bytes of a repeating pattern that starts at `seed`.
std::string PatternBytes(std::size_t n, char seed = 'a');

/// Art JSON with one entry per (name, url): {"art":[{"name":..,"filename":..,key:url}]}.
std::string ArtJson(const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::string& urlKey);

}  // namespace orvella::test
