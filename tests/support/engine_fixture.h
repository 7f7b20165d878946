// Shared by the engine, worker and module tests: an engine over a temporary image folder
// with the fake host as its owner's host, and a local art service on a loopback server.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/host_callback.h"
#include "base/text_utf8.h"
#include "base/write_log.h"
#include "engine/orvella_engine.h"
#include "tests/support/fake_host.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {

/// Waits until `done` holds, however long that takes (ctest's time-out ends a hang).
inline void WaitUntil(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

/// `n` bytes of a pattern that starts at `seed`.
inline std::string PatternBytes(std::size_t n, char seed = 'a') {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<char>(seed + static_cast<char>(i % 23));
  return bytes;
}

/// {"art":[{"name":N,"filename":N,urlKey:U}, ...]} for (N, U) pairs.
inline std::string ArtJson(const std::vector<std::pair<std::string, std::string>>& entries,
                           const std::string& urlKey) {
  Json::Value root;
  root["art"] = Json::Value(Json::arrayValue);
  for (const auto& [name, url] : entries) {
    Json::Value entry;
    entry["name"] = entry["filename"] = name;
    entry[urlKey] = url;
    root["art"].append(entry);
  }
  return Json::FastWriter().write(root);
}

/// The art endpoint and the images of a local service. Feed type 2 (clocks) is told by
/// "has_clock=1" in the query; its entries carry clock_url, all others wall_url.
class ArtService {
 public:
  using Script = std::function<Reply()>;
  ArtService() {
    server.SetHandler("/api/v3/art/", [this](const ReceivedRequest& request) {
      const int type = request.target.find("has_clock=1") != std::string::npos ? 2 : 1;
      Script script;
      std::vector<std::string> names;
      {
        std::lock_guard<std::mutex> guard(mutex_);
        script = scripts_[type];
        names = catalog_[type];
      }
      return script ? script() : Reply(200, Catalog(type, names));
    });
  }
  std::string Url() const { return server.BaseUrl(); }
  std::wstring ImageUrl(const std::string& name) const {
    return server.WideBaseUrl() + L"/img/" + Utf8ToWide(name);
  }
  std::string Catalog(int type, const std::vector<std::string>& names) const {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& name : names) entries.emplace_back(name, WideToUtf8(ImageUrl(name)));
    return ArtJson(entries, type == 2 ? "clock_url" : "wall_url");
  }
  void SetCatalog(int type, std::vector<std::string> names) {
    std::lock_guard<std::mutex> guard(mutex_);
    catalog_[type] = std::move(names);
    scripts_.erase(type);
  }
  /// Replaces the answer for a feed type with a script, called per request.
  void SetArtAnswer(int type, Script script) {
    std::lock_guard<std::mutex> guard(mutex_);
    scripts_[type] = std::move(script);
  }
  void SetImage(const std::string& name, Reply reply) { server.Set("/img/" + name, reply); }
  void SetImage(const std::string& name, const std::string& body) {
    SetImage(name, Reply(200, body, "image/jpeg"));
  }
  int ArtRequests(int type) const { return Count("/api/v3/art/", type); }
  int ImageRequests(const std::string& name) const { return Count("/img/" + name, 0); }

  LoopbackServer server;

 private:
  int Count(const std::string& path, int type) const {
    int n = 0;
    for (const ReceivedRequest& r : server.requests()) {
      const bool clock = r.target.find("has_clock=1") != std::string::npos;
      n += r.path == path && (type == 0 || clock == (type == 2));
    }
    return n;
  }
  std::mutex mutex_;
  std::map<int, std::vector<std::string>> catalog_;
  std::map<int, Script> scripts_;
};

/// The engine's owner in tests: settings set directly, the new-files notice handed to
/// the fake host as operation 9 with 5 and 1, as the application object does.
class TestEngineOwner final : public CEngineOwner, public PluginSettings {
 public:
  PluginSettings WorkerSettingsLocked() const override { return *this; }
  void NotifyNewFiles() override { FakeHost::callback()(kHostOpNotify, 5, 1); }
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    SetLogCallback(FakeHost::callback());
    owner.ImgFolder = Utf8ToWide(dir.path().string());
    owner.tmUpdate = 1440;
    owner.minAgeCheck = 1;
  }
  ~EngineTest() override { SetLogCallback(nullptr); }

  /// Full wide path of a file in the image folder.
  /// `name` may hold '/', which stands for the platform's separator.
  std::wstring InFolder(const std::string& name) const {
    return Utf8ToWide((dir.path() / std::filesystem::path(name).make_preferred()).string());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }
  /// Number of names in the image folder that end with `suffix`.
  int CountFiles(const std::string& suffix) const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      n += entry.path().filename().string().ends_with(suffix);
    }
    return n;
  }

  FakeHost host;
  TempDir dir;
  ScopedConfigHome config;  // the measured size goes to the user store
  TestEngineOwner owner;
  COrvellaEngine engine{owner};
};

}  // namespace orvella::test
