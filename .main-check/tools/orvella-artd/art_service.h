// orvella-artd's service: a local stand-in of the Orvella art service's v3 API, to embed
// in tests and demos or to run as the orvella-artd program.
//
// Endpoints (GET):
//   /api/v3/user/?client=KEY&email=E&password_md5=HEX
//       An object {"user_name": ..., "user_token": ...} when E names an account (ASCII
//       letter case ignored) and HEX is the MD5 of its password's Windows-1252 bytes;
//       JSON null otherwise. 403 when KEY is not the API client key.
//   /api/v3/art/?client=KEY&limit=N[&user_token=T]
//                [&has_wall=1&wall_type=computer&wall_width=W&wall_height=H]
//                [&has_clock=1&clock_width=W&clock_height=H][&keyword=WORDS]
//       {"art": [{"name": ..., "filename": ..., "wall_url" or "clock_url": ...}, ...]}:
//       at most N items in catalog order, those of the asked kinds whose tags hold every
//       word of WORDS. 403 for a wrong KEY, 401 for a token that names no account, 400 for
//       a missing or bad limit, kind or size.
//   /img/<kind>/<id>/<W>x<H>/<file>   (the URLs the art endpoint hands out)
//       The item rendered as a W x H JPEG. <kind> is "wall" or "clock"; <file> is
//       "<id>-<W>x<H>.jpg" or "<id>-clock-<W>x<H>.jpg", so each item, kind and size has its
//       own file name. 404 for anything not in the current catalog.
// Query values are %-decoded; '+' stays a plus sign. Image URLs use the Host the request
// was sent to, so they work through whatever address the client used.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/orvella-artd/art_accounts.h"
#include "tools/orvella-artd/art_catalog.h"
#include "tools/orvella-artd/art_image.h"

namespace orvella::artd {

/// The API client key requests must carry.
inline constexpr char kApiClientKey[] = "Qm3rTz8LkVb2NwYp5HsXc7Ja";

/// The port the plug-in expects the local service on unless told otherwise.
inline constexpr int kDefaultPort = 8780;

struct ServiceOptions {
  Catalog catalog = DemoCatalog();
  std::vector<Account> accounts = {DemoAccount()};
  ImageOptions images;
  /// Largest width or height an image or art query may ask for.
  int maxImageSide = 10000;
  /// Bytes of rendered images kept for reuse.
  std::size_t imageCacheBytes = std::size_t{512} << 20;
  /// Receives one line per request ("GET <target> -> <status> <bytes> bytes"), on the
  /// server's threads, one call at a time. Null: no lines.
  std::function<void(const std::string&)> requestLog;
};

class ArtService {
 public:
  explicit ArtService(ServiceOptions options = {});
  /// Stops serving (Stop()).
  ~ArtService();
  ArtService(const ArtService&) = delete;
  ArtService& operator=(const ArtService&) = delete;

  /// Binds host:port (port 0: a free port) and serves on background threads. Returns the
  /// bound port. Throws std::runtime_error when binding fails or the service already runs.
  int Start(const std::string& host = "127.0.0.1", int port = 0);

  /// Binds host:port and serves on the calling thread until Stop() is called from another
  /// thread. Returns false when binding failed, true after a Stop().
  bool Listen(const std::string& host, int port);

  /// The bound port; 0 before Start()/Listen() has bound one.
  int port() const;
  /// "http://HOST:PORT" of the bound address, for ORVELLA_SERVER_URL.
  std::string BaseUrl() const;

  /// Stops listening and waits for the requests in progress. Idempotent; any thread.
  void Stop();

  /// Replaces the catalog; requests that start afterwards see the new one. Any thread.
  void SetCatalog(Catalog catalog);
  /// Returns a copy of the current catalog. Any thread.
  Catalog catalog() const;
  /// Adds an account, or replaces the one with the same e-mail address. Any thread.
  void AddAccount(const Account& account);

  /// Number of requests answered so far, of every endpoint.
  std::size_t requestCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvella::artd
