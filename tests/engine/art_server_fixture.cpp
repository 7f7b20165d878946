#include "tests/engine/art_server_fixture.h"

#include <httplib.h>
#include <json/json.h>

#include <stdexcept>

#include "host/text_utf8.h"

namespace orvella::test {

std::string PatternBytes(std::size_t n, char seed) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<char>(seed + static_cast<char>(i % 23));
  return bytes;
}

std::string ArtJson(const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::string& urlKey) {
  Json::Value root;
  root["art"] = Json::Value(Json::arrayValue);
  for (const auto& [name, url] : entries) {
    Json::Value entry;
    entry["name"] = name;
    entry["filename"] = name;
    entry[urlKey] = url;
    root["art"].append(entry);
  }
  return Json::FastWriter().write(root);
}

ArtServer::ArtServer() : server_(std::make_unique<httplib::Server>()) {
  Route();
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("cannot bind the art server");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::yield();
}

ArtServer::~ArtServer() {
  ReleaseStalls();
  server_->stop();
  thread_.join();
}

std::string ArtServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::wstring ArtServer::ImageUrl(const std::string& name) const {
  return Utf8ToWide(Url() + "/img/" + name);
}

void ArtServer::SetCatalog(int type, const std::vector<std::string>& names) {
  std::lock_guard<std::mutex> guard(mutex_);
  catalog_[type] = names;
  scripts_.erase(type);
}

void ArtServer::SetArtAnswer(int type, std::function<ArtAnswer()> answer) {
  std::lock_guard<std::mutex> guard(mutex_);
  scripts_[type] = std::move(answer);
}

void ArtServer::SetImage(const std::string& name, std::string body) {
  std::lock_guard<std::mutex> guard(mutex_);
  images_[name] = std::move(body);
}

void ArtServer::SetFault(const std::string& name, ImageFault fault) {
  std::lock_guard<std::mutex> guard(mutex_);
  faults_[name] = fault;
}

void ArtServer::SetRedirect(const std::string& name, const std::string& location) {
  std::lock_guard<std::mutex> guard(mutex_);
  redirects_[name] = location;
}

void ArtServer::OnImageRequest(std::function<void(const std::string&)> hook) {
  std::lock_guard<std::mutex> guard(mutex_);
  imageHook_ = std::move(hook);
}

void ArtServer::WaitForStall() {
  std::unique_lock<std::mutex> guard(mutex_);
  changed_.wait(guard, [this] { return stallsStarted_ > 0; });
}

void ArtServer::ReleaseStalls() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

int ArtServer::ArtRequests(int type) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = artRequests_.find(type);
  return it == artRequests_.end() ? 0 : it->second;
}

int ArtServer::ImageRequests(const std::string& name) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = imageRequests_.find(name);
  return it == imageRequests_.end() ? 0 : it->second;
}

std::vector<std::string> ArtServer::ArtQueries() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return artQueries_;
}

std::string ArtServer::LastImageHeader(const std::string& name, const std::string& header) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = lastHeaders_.find(name);
  if (it == lastHeaders_.end()) return "";
  const auto h = it->second.find(header);
  return h == it->second.end() ? "" : h->second;
}

ArtAnswer ArtServer::Answer(int type) {
  std::function<ArtAnswer()> script;
  std::vector<std::string> names;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = scripts_.find(type);
    if (it != scripts_.end()) script = it->second;
    names = catalog_[type];
  }
  if (script) return script();
  std::vector<std::pair<std::string, std::string>> entries;
  for (const std::string& name : names) entries.emplace_back(name, WideToUtf8(ImageUrl(name)));
  return {200, ArtJson(entries, type == 2 ? "clock_url" : "wall_url")};
}

void ArtServer::Route() {
  server_->Get("/api/v3/art/", [this](const httplib::Request& req, httplib::Response& res) {
    const int type = req.has_param("has_clock") ? 2 : 1;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++artRequests_[type];
      std::string query;
      for (const auto& [key, value] : req.params) query += "&" + key + "=" + value;
      artQueries_.push_back(query);
    }
    const ArtAnswer answer = Answer(type);
    res.status = answer.status;
    res.set_content(answer.body, "application/json");
  });
  server_->Get(R"(/img/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    std::function<void(const std::string&)> hook;
    ImageFault fault = ImageFault::kNone;
    std::string body;
    std::string location;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++imageRequests_[name];
      for (const auto& [key, value] : req.headers) lastHeaders_[name][key] = value;
      hook = imageHook_;
      if (faults_.count(name)) fault = faults_[name];
      if (redirects_.count(name)) location = redirects_[name];
      const auto it = images_.find(name);
      if (it != images_.end())
        body = it->second;
      else if (location.empty())
        fault = ImageFault::kNotFound;
    }
    if (hook) hook(name);
    if (!location.empty()) {
      res.set_redirect(location);
      return;
    }
    switch (fault) {
      case ImageFault::kNone:
        res.set_content(body, "image/jpeg");
        return;
      case ImageFault::kNotFound:
        res.status = 404;
        res.set_content("not found", "text/plain");
        return;
      case ImageFault::kShortBody:
        res.set_content_provider(body.size(), "image/jpeg",
                                 [body](size_t, size_t, httplib::DataSink& sink) {
                                   sink.write(body.data(), body.size() / 2);
                                   return false;  // the connection closes early
                                 });
        return;
      case ImageFault::kStall:
        res.set_content_provider(body.size(), "image/jpeg",
                                 [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                                   const std::size_t first =
                                       std::min<std::size_t>(8192, body.size());
                                   if (offset == 0) {
                                     sink.write(body.data(), first);
                                     {
                                       std::lock_guard<std::mutex> guard(mutex_);
                                       ++stallsStarted_;
                                     }
                                     changed_.notify_all();
                                     return true;
                                   }
                                   // Nothing more until released, or until the client has gone
                                   // away.
                                   std::unique_lock<std::mutex> guard(mutex_);
                                   while (!released_ && sink.is_writable()) {
                                     changed_.wait_for(guard, std::chrono::milliseconds(20));
                                   }
                                   return false;
                                 });
        return;
    }
  });
}

}  // namespace orvella::test
