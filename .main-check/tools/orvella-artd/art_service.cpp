// The local art service's routes: sign-in, art queries and images.
#include "tools/orvella-artd/art_service.h"

#include <httplib.h>
#include <json/json.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "tools/orvella-artd/art_query.h"

namespace orvella::artd {
namespace {

std::string ToJson(const Json::Value& value) {
  Json::StreamWriterBuilder writer;
  writer["emitUTF8"] = true;
  writer["indentation"] = "";
  return Json::writeString(writer, value);
}

void AnswerJson(httplib::Response& res, int status, const Json::Value& value) {
  res.status = status;
  res.set_content(ToJson(value), "application/json");
}

void AnswerError(httplib::Response& res, int status, const std::string& message) {
  Json::Value error;
  error["error"] = message;
  AnswerJson(res, status, error);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The Host header when it is a plain host[:port], so image URLs point where the client
// connected; anything else falls back to the bound address.
std::string HostForUrls(const httplib::Request& req, const std::string& fallback) {
  const std::string host = req.get_header_value("Host");
  const bool plain = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
           c == '[' || c == ']';
  });
  return plain ? host : fallback;
}

// A request target for the log: the password digest and the user token are
// credentials, and logs get shared.
std::string MaskedTarget(std::string target) {
  for (const char* name : {"password_md5=", "user_token="}) {
    for (std::size_t at = target.find(name); at != std::string::npos;
         at = target.find(name, at + 1)) {
      if (at != 0 && target[at - 1] != '?' && target[at - 1] != '&') continue;
      const std::size_t start = at + std::strlen(name);
      const std::size_t end = std::min(target.find('&', start), target.size());
      target.replace(start, end - start, "***");
    }
  }
  return target;
}

// The listening socket may take over an address still in TIME_WAIT, but never share a
// port with another server: SO_REUSEPORT would split the requests between the two.
void ExclusiveSocketOptions(socket_t sock) {
  int yes = 1;
  ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// Why binding host:port fails, found by binding a socket of our own the same way.
std::string BindFailure(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int resolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) return ::gai_strerror(resolved);
  std::string reason = "unknown error";
  const int sock = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (sock < 0) {
    reason = std::strerror(errno);
  } else {
    ExclusiveSocketOptions(sock);
    if (::bind(sock, found->ai_addr, found->ai_addrlen) != 0) {
      reason = errno == EADDRINUSE ? "the port is already in use" : std::strerror(errno);
    }
    ::close(sock);
  }
  ::freeaddrinfo(found);
  return reason;
}

std::string ImageFileName(const ArtItem& item, ArtKind kind, long long w, long long h) {
  const std::string size = std::to_string(w) + "x" + std::to_string(h);
  return item.id + (kind == ArtKind::kClock ? "-clock-" : "-") + size + ".jpg";
}

std::string ImageUrl(const std::string& host, const ArtItem& item, ArtKind kind, long long w,
                     long long h) {
  return "http://" + host + "/img/" + (kind == ArtKind::kClock ? "clock/" : "wall/") + item.id +
         "/" + std::to_string(w) + "x" + std::to_string(h) + "/" + ImageFileName(item, kind, w, h);
}

// The size a query asks for one kind: both values present and within 1..maxSide.
struct SizeRequest {
  bool wanted = false;
  long long width = 0, height = 0;
};

bool ReadSize(const QueryParams& query, const char* flag, const char* widthName,
              const char* heightName, int maxSide, SizeRequest& size) {
  size.wanted = query.Get(flag).value_or("") == "1";
  if (!size.wanted) return true;
  const auto width = query.GetInt(widthName), height = query.GetInt(heightName);
  if (!width || !height || *width < 1 || *height < 1 || *width > maxSide || *height > maxSide) {
    return false;
  }
  size.width = *width;
  size.height = *height;
  return true;
}

}  // namespace

struct ArtService::Impl {
  explicit Impl(ServiceOptions options)
      : options(std::move(options)),
        catalog(std::make_shared<const Catalog>(this->options.catalog)),
        images(this->options.imageCacheBytes) {}

  std::shared_ptr<const Catalog> Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex);
    return catalog;
  }

  std::optional<Account> FindAccount(const std::function<bool(const Account&)>& match) const {
    std::lock_guard<std::mutex> lock(mutex);
    for (const Account& account : options.accounts) {
      if (match(account)) return account;
    }
    return std::nullopt;
  }

  void HandleUser(const httplib::Request& req, httplib::Response& res) {
    const QueryParams query = QueryParams::FromTarget(req.target);
    if (query.Get("client") != kApiClientKey) return AnswerError(res, 403, "unknown client");
    const std::string email = query.Get("email").value_or("");
    const std::string digest = query.Get("password_md5").value_or("");
    const std::optional<Account> account = FindAccount([&](const Account& candidate) {
      return SameNoCase(candidate.email, email) && PasswordMatches(candidate, digest);
    });
    if (!account) return AnswerJson(res, 200, Json::Value());  // JSON null: denied
    Json::Value answer;
    answer["user_name"] = account->userName;
    answer["user_token"] = account->token;
    AnswerJson(res, 200, answer);
  }

  void HandleArt(const httplib::Request& req, httplib::Response& res) {
    const QueryParams query = QueryParams::FromTarget(req.target);
    if (query.Get("client") != kApiClientKey) return AnswerError(res, 403, "unknown client");
    const std::string token = query.Get("user_token").value_or("");
    if (!token.empty() &&
        !FindAccount([&](const Account& account) { return account.token == token; })) {
      return AnswerError(res, 401, "unknown user token");
    }
    const std::optional<long long> limit = query.GetInt("limit");
    if (!limit) return AnswerError(res, 400, "limit is missing or not a number");
    SizeRequest wall, clock;
    if (!ReadSize(query, "has_wall", "wall_width", "wall_height", options.maxImageSide, wall) ||
        !ReadSize(query, "has_clock", "clock_width", "clock_height", options.maxImageSide, clock)) {
      return AnswerError(res, 400, "bad picture size");
    }
    if (!wall.wanted && !clock.wanted) return AnswerError(res, 400, "has_wall or has_clock needed");
    const std::string keyword = query.Get("keyword").value_or("");
    const std::string host = HostForUrls(req, boundHost + ":" + std::to_string(port.load()));

    Json::Value art(Json::arrayValue);
    const std::shared_ptr<const Catalog> current = Snapshot();  // kept alive while read
    for (const ArtItem& item : current->items) {
      if (static_cast<long long>(art.size()) >= *limit) break;
      const bool asWall = wall.wanted && item.wallpaper, asClock = clock.wanted && item.clock;
      if ((!asWall && !asClock) || !MatchesKeyword(item, keyword)) continue;
      Json::Value entry;
      entry["name"] = item.name;
      entry["filename"] = item.filename;
      if (asWall)
        entry["wall_url"] = ImageUrl(host, item, ArtKind::kWallpaper, wall.width, wall.height);
      if (asClock)
        entry["clock_url"] = ImageUrl(host, item, ArtKind::kClock, clock.width, clock.height);
      art.append(entry);
    }
    Json::Value answer;
    answer["art"] = art;
    AnswerJson(res, 200, answer);
  }

  void HandleImage(const httplib::Request& req, httplib::Response& res) {
    const ArtKind kind = req.matches[1] == "clock" ? ArtKind::kClock : ArtKind::kWallpaper;
    const std::string id = req.matches[2];
    const long long width = std::stoll(req.matches[3]);  // at most 9 digits: the route says so
    const long long height = std::stoll(req.matches[4]);
    const std::shared_ptr<const Catalog> current = Snapshot();
    const ArtItem* item = current->Find(id);
    const bool offered =
        item != nullptr && (kind == ArtKind::kClock ? item->clock : item->wallpaper);
    if (!offered || width < 1 || height < 1 || width > options.maxImageSide ||
        height > options.maxImageSide ||
        req.matches[5] != ImageFileName(*item, kind, width, height)) {
      res.status = 404;
      res.set_content("no such image\n", "text/plain");
      return;
    }
    const std::string key = id + "/" + std::to_string(static_cast<int>(kind)) + "/" +
                            std::to_string(width) + "x" + std::to_string(height) + "/" +
                            std::to_string(item->color);
    const ArtItem copy = *item;
    const std::shared_ptr<const std::string> image = images.Get(key, [&] {
      return RenderArtJpeg(copy, kind, static_cast<int>(width), static_cast<int>(height),
                           options.images);
    });
    res.status = 200;
    res.set_content_provider(
        image->size(), "image/jpeg",
        [image](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return sink.write(image->data() + offset, length);
        });
  }

  void LogRequest(const httplib::Request& req, const httplib::Response& res) {
    ++requests;
    if (!options.requestLog) return;
    const std::size_t bytes = res.body.empty() ? res.content_length_ : res.body.size();
    const std::string line = req.method + " " + MaskedTarget(req.target) + " -> " +
                             std::to_string(res.status) + " " + std::to_string(bytes) + " bytes";
    std::lock_guard<std::mutex> lock(logMutex);
    options.requestLog(line);
  }

  void Route() {
    server.Get(R"(/api/v3/user/?)", [this](const httplib::Request& req, httplib::Response& res) {
      HandleUser(req, res);
    });
    server.Get(R"(/api/v3/art/?)", [this](const httplib::Request& req, httplib::Response& res) {
      HandleArt(req, res);
    });
    server.Get(
        R"(/img/(wall|clock)/([a-z0-9-]{1,64})/([0-9]{1,9})x([0-9]{1,9})/([^/]+))",
        [this](const httplib::Request& req, httplib::Response& res) { HandleImage(req, res); });
    // Everything is read-only: other methods are not allowed on any path, whatever body
    // they announce (or fail to).
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "GET" || req.method == "HEAD") {
        return httplib::Server::HandlerResponse::Unhandled;
      }
      res.set_header("Allow", "GET, HEAD");
      AnswerError(res, 405, "method not allowed");
      return httplib::Server::HandlerResponse::Handled;
    });
    server.set_socket_options(ExclusiveSocketOptions);
    // An idle kept-alive connection holds a server thread; a stop waits for them.
    server.set_keep_alive_timeout(1);
    server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      LogRequest(req, res);
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
          AnswerError(res, 500, "internal error");
        });
  }

  void Bind(const std::string& host, int wantedPort) {
    if (bound) throw std::runtime_error("the art service is already serving");
    const int got = wantedPort == 0 ? server.bind_to_any_port(host)
                                    : (server.bind_to_port(host, wantedPort) ? wantedPort : -1);
    if (got <= 0) {
      throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(wantedPort) +
                               ": " + BindFailure(host, wantedPort));
    }
    boundHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    bound = true;
    port = got;  // last: a caller that sees the port may stop the service
  }

  void Stop() {
    if (!bound) return;
    while (!server.is_running() && !listenEnded)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server.stop();
    if (thread.joinable()) thread.join();
  }

  ServiceOptions options;
  mutable std::mutex mutex;  // guards catalog and options.accounts
  std::shared_ptr<const Catalog> catalog;
  ImageCache images;
  std::mutex logMutex;
  std::atomic<std::size_t> requests{0};

  httplib::Server server;
  std::thread thread;
  std::atomic<bool> bound{false};
  std::atomic<bool> listenEnded{false};
  std::string boundHost;
  std::atomic<int> port{0};
};

ArtService::ArtService(ServiceOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  impl_->Route();
}

ArtService::~ArtService() {
  Stop();
}

int ArtService::Start(const std::string& host, int port) {
  impl_->Bind(host, port);
  impl_->thread = std::thread([impl = impl_.get()] {
    impl->server.listen_after_bind();
    impl->listenEnded = true;
  });
  return impl_->port;
}

bool ArtService::Listen(const std::string& host, int port) {
  try {
    impl_->Bind(host, port);
  } catch (const std::runtime_error&) {
    return false;
  }
  impl_->server.listen_after_bind();
  impl_->listenEnded = true;
  return true;
}

int ArtService::port() const {
  return impl_->port;
}

std::string ArtService::BaseUrl() const {
  return "http://" + impl_->boundHost + ":" + std::to_string(impl_->port.load());
}

void ArtService::Stop() {
  impl_->Stop();
}

void ArtService::SetCatalog(Catalog catalog) {
  auto fresh = std::make_shared<const Catalog>(std::move(catalog));
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->catalog = std::move(fresh);
}

Catalog ArtService::catalog() const {
  return *impl_->Snapshot();
}

void ArtService::AddAccount(const Account& account) {
  const Account complete = CompleteAccount(account);
  std::lock_guard<std::mutex> lock(impl_->mutex);
  for (Account& existing : impl_->options.accounts) {
    if (SameNoCase(existing.email, complete.email)) {
      existing = complete;
      return;
    }
  }
  impl_->options.accounts.push_back(complete);
}

std::size_t ArtService::requestCount() const {
  return impl_->requests;
}

}  // namespace orvella::artd
