// The loopback server's routes, scripted replies and faults.
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <stdexcept>

#include "base/text_utf8.h"

namespace orvella::test {
namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Answers 1xx, 204 and 304 end at their headers: a body sent after one would be read as the
// start of the next answer on a connection the client keeps open.
bool CarriesNoBody(int status) {
  return (status >= 100 && status < 200) || status == 204 || status == 304;
}

ReceivedRequest Record(const httplib::Request& req) {
  ReceivedRequest request;
  request.method = req.method;
  request.target = req.target;
  request.path = req.path;
  for (const auto& [name, value] : req.headers) request.headers.emplace(name, value);
  return request;
}

}  // namespace

std::string ReceivedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (SameNoCase(key, name)) return value;
  }
  return "";
}

LoopbackServer::LoopbackServer() : server_(std::make_unique<httplib::Server>()) {
  server_->set_keep_alive_timeout(1);
  server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    const ReceivedRequest request = Record(req);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    Reply reply = Answer(request);
    if (reply.delay.count() > 0) CountHeld();
    Sleep(reply.delay);
    if (reply.holdUntilReleased) HoldUntilReleased();
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) res.set_header(name, value);
    if (CarriesNoBody(reply.status)) return;
    if (reply.dripEvery) return Drip(res, reply);
    if (reply.generatedSize > 0) return Generate(res, reply);
    const std::optional<std::size_t> cut = reply.stallAfter ? reply.stallAfter : reply.closeAfter;
    if (reply.chunked && !cut) {
      auto body = std::make_shared<std::string>(std::move(reply.body));
      res.set_chunked_content_provider(
          reply.contentType, [body](std::size_t offset, httplib::DataSink& sink) {
            constexpr std::size_t kChunk = 50000;
            if (offset < body->size()) {
              return sink.write(body->data() + offset, std::min(kChunk, body->size() - offset));
            }
            sink.done();
            return true;
          });
      return;
    }
    if (!cut) {
      res.set_content(reply.body, reply.contentType);
      return;
    }
    const bool stall = reply.stallAfter.has_value();
    const auto body = std::make_shared<std::string>(std::move(reply.body));
    const std::size_t sent = std::min(*cut, body->size());
    res.set_content_provider(
        body->size(), reply.contentType,
        [this, body, sent, stall](std::size_t offset, std::size_t, httplib::DataSink& sink) {
          if (offset < sent) return sink.write(body->data() + offset, sent - offset);
          if (stall) HoldUntilReleased();
          return false;  // drops the connection with the body incomplete
        });
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("loopback server: no free port on 127.0.0.1");
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
}

LoopbackServer::~LoopbackServer() {
  Stop();
}

std::string LoopbackServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::wstring LoopbackServer::WideBaseUrl() const {
  return Utf8ToWide(BaseUrl());
}

void LoopbackServer::Set(const std::string& path, Reply reply) {
  SetHandler(path, [reply](const ReceivedRequest&) { return reply; });
}

void LoopbackServer::SetHandler(const std::string& path, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(handler);
}

Reply LoopbackServer::Answer(const ReceivedRequest& request) {
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto route = routes_.find(request.path);
    if (route == routes_.end()) return Reply{404, "no route", "text/plain"};
    handler = route->second;
  }
  return handler(request);
}

std::vector<ReceivedRequest> LoopbackServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

ReceivedRequest LoopbackServer::LastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_FALSE(requests_.empty()) << "the loopback server received no request";
  return requests_.empty() ? ReceivedRequest{} : requests_.back();
}

std::size_t LoopbackServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

void LoopbackServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

void LoopbackServer::Drip(httplib::Response& res, Reply& reply) {
  const auto body = std::make_shared<std::string>(std::move(reply.body));
  const std::chrono::milliseconds every = *reply.dripEvery;
  res.set_content_provider(
      body->size(), reply.contentType,
      [this, body, every](std::size_t offset, std::size_t, httplib::DataSink& sink) {
        if (offset == 0) CountHeld();
        if (!sink.write(body->data() + offset, 1)) return false;
        Sleep(every);
        std::lock_guard<std::mutex> lock(mutex_);
        return !stopping_;
      });
}

void LoopbackServer::Generate(httplib::Response& res, const Reply& reply) {
  const std::size_t size = reply.generatedSize;
  auto provide = [size](std::size_t offset, httplib::DataSink& sink) {
    static const std::string piece = [] {
      std::string bytes(std::size_t{1} << 16, '\0');
      for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 23);
      return bytes;
    }();
    if (offset >= size) {
      sink.done();
      return true;
    }
    return sink.write(piece.data(), std::min(piece.size(), size - offset));
  };
  if (reply.chunked) {
    res.set_chunked_content_provider(reply.contentType, provide);
  } else {
    res.set_content_provider(size, reply.contentType,
                             [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               return provide(offset, sink);
                             });
  }
}

void LoopbackServer::CountHeld() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++held_;
}

std::size_t LoopbackServer::HeldCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

void LoopbackServer::Sleep(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  released_.wait_for(lock, delay, [this] { return stopping_; });
}

void LoopbackServer::HoldUntilReleased() {
  std::unique_lock<std::mutex> lock(mutex_);
  // Counted and waited for under one lock: a release that follows the count is never
  // missed.
  ++held_;
  const uint64_t seen = releases_;
  released_.wait(lock, [this, seen] { return stopping_ || releases_ != seen; });
}

void LoopbackServer::ReleaseStalls() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++releases_;
  }
  released_.notify_all();
}

void LoopbackServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  if (!thread_.joinable()) return;
  // stop() only takes effect once the accept loop runs; it starts on the thread.
  while (!server_->is_running() && !listenEnded_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  server_->stop();
  thread_.join();
}

}  // namespace orvella::test
