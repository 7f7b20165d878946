// The art catalog of the local art service: what its art endpoint offers.
//
// Catalog file (JSON, UTF-8):
//   {"items": [
//     {"id": "aurora",                 // required: 1-64 of [a-z0-9-], unique; in image URLs
//      "name": "Aurora",               // required: the title sent as "name"
//      "filename": "aurora.jpg",       // optional: sent as "filename" (default "<id>.jpg")
//      "tags": ["sky", "night"],       // optional: what "keyword" is matched against
//      "types": ["wallpaper", "clock"],// optional: default ["wallpaper"]
//      "color": "#224488"}             // optional: base colour of the rendered image
//   ]}
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvella::artd {

/// One piece of art.
struct ArtItem {
  std::string id;
  std::string name;      // UTF-8, sent unchanged
  std::string filename;  // the service's file name, sent as "filename"
  std::vector<std::string> tags;
  bool wallpaper = true;      // offered to wallpaper feeds (has_wall=1)
  bool clock = false;         // offered to clock feeds (has_clock=1)
  uint32_t color = 0x336699;  // 0xRRGGBB
};

struct Catalog {
  std::vector<ArtItem> items;

  /// The item with `id`, or null.
  const ArtItem* Find(const std::string& id) const;
};

/// Parses a catalog document (format above). Throws std::runtime_error naming the fault.
Catalog ParseCatalog(const std::string& json);

/// Reads and parses a catalog file. Throws std::runtime_error naming the file and fault.
Catalog LoadCatalogFile(const std::string& path);

/// Returns the catalog as a document in the file format (pretty-printed).
std::string CatalogToJson(const Catalog& catalog);

/// Returns the generated demo catalog: the same 24 items on every run, 16 wallpapers and
/// 8 that are also clocks, tagged by theme ("nature", "city", "space", "abstract") and
/// colour words.
Catalog DemoCatalog();

/// True when every word of `keyword` (words split at blanks and commas) equals one of the
/// item's tags, ignoring ASCII letter case. An empty keyword matches every item.
bool MatchesKeyword(const ArtItem& item, const std::string& keyword);

}  // namespace orvella::artd
