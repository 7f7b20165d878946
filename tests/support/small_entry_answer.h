// A feed answer of many small entries, the shape that costs a JSON reader the most per byte:
// shared by the feed answer's memory tests and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace orvella::test {

/// {"art":[...]} of at least `bytes` bytes: entries {"name":"pN"}, every `urlEvery`-th one
/// with a "wall_url" of `urlBase` followed by "/iN.jpg" (urlEvery 0: none has one).
inline std::string SmallEntryAnswer(std::size_t bytes, std::size_t urlEvery,
                                    const std::string& urlBase = "http://127.0.0.1:1") {
  std::string json = "{\"art\":[";
  json.reserve(bytes + 128);
  char entry[256];  // room for a short base URL
  for (std::size_t i = 0; json.size() < bytes; ++i) {
    if (i > 0) json += ',';
    if (urlEvery != 0 && i % urlEvery == 0) {
      std::snprintf(entry, sizeof entry, "{\"name\":\"p%zu\",\"wall_url\":\"%s/i%zu.jpg\"}", i,
                    urlBase.c_str(), i);
    } else {
      std::snprintf(entry, sizeof entry, "{\"name\":\"p%zu\"}", i);
    }
    json += entry;
  }
  return json + "]}";
}

}  // namespace orvella::test
