// The local service's catalog, loaded from a file or built in.
#include "tools/orvella-artd/art_catalog.h"

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace orvella::artd {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsValidId(const std::string& id) {
  if (id.empty() || id.size() > 64) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
  });
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("catalog: " + what);
}

std::string RequireString(const Json::Value& item, const char* key, std::size_t index) {
  const Json::Value& value = item[key];
  if (!value.isString()) {
    Fail("item " + std::to_string(index) + ": \"" + key + "\" must be a string");
  }
  return value.asString();
}

uint32_t ParseColor(const std::string& text, std::size_t index) {
  unsigned value = 0;
  char tail = 0;
  if (text.size() != 7 || text[0] != '#' ||
      std::sscanf(text.c_str() + 1, "%6x%c", &value, &tail) != 1) {
    Fail("item " + std::to_string(index) + ": \"color\" must look like \"#RRGGBB\"");
  }
  return value;
}

void ReadTypes(const Json::Value& types, ArtItem& item, std::size_t index) {
  if (!types.isArray() || types.empty()) {
    Fail("item " + std::to_string(index) + ": \"types\" must be a non-empty array");
  }
  item.wallpaper = item.clock = false;
  for (const Json::Value& type : types) {
    const std::string name = type.isString() ? type.asString() : "";
    if (name == "wallpaper") {
      item.wallpaper = true;
    } else if (name == "clock") {
      item.clock = true;
    } else {
      Fail("item " + std::to_string(index) + ": types are \"wallpaper\" and \"clock\"");
    }
  }
}

ArtItem ReadItem(const Json::Value& value, std::size_t index) {
  if (!value.isObject()) Fail("item " + std::to_string(index) + " is not an object");
  ArtItem item;
  item.id = RequireString(value, "id", index);
  if (!IsValidId(item.id)) {
    Fail("item " + std::to_string(index) + ": \"id\" must be 1-64 of a-z, 0-9 and '-'");
  }
  item.name = RequireString(value, "name", index);
  item.filename =
      value.isMember("filename") ? RequireString(value, "filename", index) : item.id + ".jpg";
  if (value.isMember("tags")) {
    const Json::Value& tags = value["tags"];
    if (!tags.isArray()) Fail("item " + std::to_string(index) + ": \"tags\" must be an array");
    for (const Json::Value& tag : tags) {
      if (!tag.isString()) Fail("item " + std::to_string(index) + ": tags must be strings");
      item.tags.push_back(tag.asString());
    }
  }
  if (value.isMember("types")) ReadTypes(value["types"], item, index);
  if (value.isMember("color")) item.color = ParseColor(RequireString(value, "color", index), index);
  return item;
}

}  // namespace

const ArtItem* Catalog::Find(const std::string& id) const {
  for (const ArtItem& item : items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

Catalog ParseCatalog(const std::string& json) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  Json::Value root;
  std::string errors;
  std::istringstream in(json);
  if (!Json::parseFromStream(builder, in, &root, &errors)) Fail("not JSON: " + errors);
  if (!root.isObject() || !root["items"].isArray()) Fail("expected {\"items\": [...]}");
  Catalog catalog;
  std::set<std::string> ids;
  for (Json::ArrayIndex i = 0; i < root["items"].size(); ++i) {
    ArtItem item = ReadItem(root["items"][i], i);
    if (!ids.insert(item.id).second) Fail("item " + std::to_string(i) + ": id used twice");
    catalog.items.push_back(std::move(item));
  }
  return catalog;
}

Catalog LoadCatalogFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("catalog: cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return ParseCatalog(text.str());
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(path + ": " + error.what());
  }
}

std::string CatalogToJson(const Catalog& catalog) {
  Json::Value items(Json::arrayValue);
  for (const ArtItem& item : catalog.items) {
    Json::Value value;
    value["id"] = item.id;
    value["name"] = item.name;
    value["filename"] = item.filename;
    value["tags"] = Json::Value(Json::arrayValue);
    for (const std::string& tag : item.tags) value["tags"].append(tag);
    value["types"] = Json::Value(Json::arrayValue);
    if (item.wallpaper) value["types"].append("wallpaper");
    if (item.clock) value["types"].append("clock");
    char color[8];
    std::snprintf(color, sizeof color, "#%06X", static_cast<unsigned>(item.color & 0xFFFFFF));
    value["color"] = color;
    items.append(value);
  }
  Json::Value root;
  root["items"] = items;
  Json::StreamWriterBuilder writer;
  writer["emitUTF8"] = true;
  writer["indentation"] = "  ";
  return Json::writeString(writer, root) + "\n";
}

Catalog DemoCatalog() {
  struct Theme {
    const char* tag;
    const char* words[6];
    uint32_t color;
  };
  static const Theme kThemes[] = {
      {"nature", {"Meadow", "Fjord", "Canopy", "Dunes", "Glacier", "Orchard"}, 0x2E7D32},
      {"city", {"Harbour", "Skyline", "Arcade", "Tramway", "Rooftops", "Bridge"}, 0x5D4037},
      {"space", {"Nebula", "Comet", "Orbit", "Eclipse", "Quasar", "Aurora"}, 0x1A237E},
      {"abstract", {"Prism", "Lattice", "Ripple", "Mosaic", "Spiral", "Facets"}, 0xAD1457},
  };
  static const char* const kMoods[] = {"Dawn", "Dusk", "Night"};
  static const char* const kColorWords[] = {"blue", "green", "red", "gold", "grey", "violet"};
  Catalog catalog;
  for (int t = 0; t < 4; ++t) {
    for (int w = 0; w < 6; ++w) {
      const int n = t * 6 + w;
      ArtItem item;
      item.name = std::string(kThemes[t].words[w]) + " " + kMoods[n % 3];
      item.id = Lower(kThemes[t].words[w]) + "-" + Lower(kMoods[n % 3]);
      item.filename = item.id + ".jpg";
      item.tags = {kThemes[t].tag, kColorWords[(n * 5) % 6], Lower(kMoods[n % 3])};
      item.wallpaper = true;
      item.clock = w % 3 == 2;  // two clocks per theme
      item.color = (kThemes[t].color + static_cast<uint32_t>(n) * 0x0B0D07) & 0xFFFFFF;
      catalog.items.push_back(std::move(item));
    }
  }
  return catalog;
}

bool MatchesKeyword(const ArtItem& item, const std::string& keyword) {
  std::string word;
  auto matchesWord = [&item](const std::string& lowered) {
    return std::any_of(item.tags.begin(), item.tags.end(),
                       [&lowered](const std::string& tag) { return Lower(tag) == lowered; });
  };
  for (std::size_t i = 0; i <= keyword.size(); ++i) {
    const char c = i < keyword.size() ? keyword[i] : ' ';
    if (c == ' ' || c == ',') {
      if (!word.empty() && !matchesWord(Lower(word))) return false;
      word.clear();
    } else {
      word += c;
    }
  }
  return true;
}

}  // namespace orvella::artd
