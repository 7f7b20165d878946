// The pictures of the local art service: each catalog item rendered at the size a client
// asks for, as a baseline JPEG, the same bytes for the same item, kind and size.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "tools/orvella-artd/art_catalog.h"

namespace orvella::artd {

enum class ArtKind { kWallpaper, kClock };

struct ImageOptions {
  /// JPEG quality, 1 to 100.
  int quality = 85;
  /// Each image is padded with comment segments to at least this many bytes (0: no
  /// padding), so a benchmark can serve images of a chosen size at any pixel size.
  std::size_t minBytes = 0;
};

/// Renders `item` as a `kind` picture of width x height pixels (both 1 or more). Returns
/// the JPEG file's bytes. Throws std::runtime_error when the encoder fails. Any thread.
std::string RenderArtJpeg(const ArtItem& item, ArtKind kind, int width, int height,
                          const ImageOptions& options);

/// Rendered images kept for reuse, least recently used dropped first beyond a byte budget.
class ImageCache {
 public:
  explicit ImageCache(std::size_t budgetBytes) : budget_(budgetBytes) {}

  /// Returns the image stored under `key`, rendering it with `render` (outside the lock)
  /// when absent. Any thread.
  std::shared_ptr<const std::string> Get(const std::string& key,
                                         const std::function<std::string()>& render);

 private:
  using Entry = std::pair<std::string, std::shared_ptr<const std::string>>;
  std::mutex mutex_;
  std::size_t budget_;
  std::size_t used_ = 0;
  std::list<Entry> order_;  // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace orvella::artd
