#include "httplib.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <regex>

namespace httplib {
namespace {

// Winsock is started once for the process and never stopped: servers come and go.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodePath(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

bool SendAll(SOCKET s, const char* data, std::size_t length) {
  while (length > 0) {
    const int chunk = static_cast<int>(std::min<std::size_t>(length, 1 << 20));
    const int sent = ::send(s, data, chunk, 0);
    if (sent <= 0) return false;
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

// Reads up to the blank line that ends the request head; false when the peer left.
bool ReadHead(SOCKET s, std::string& head) {
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    const int n = ::recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    head.append(buffer, static_cast<std::size_t>(n));
    if (head.size() > (1u << 20)) return false;
  }
  return true;
}

// "a=1&b=x%20y+z": decoded, '+' standing for a blank, as HTML forms write it.
void ParseQuery(const std::string& query, Request& request) {
  std::size_t start = 0;
  while (start <= query.size()) {
    const std::size_t end = std::min(query.find('&', start), query.size());
    const std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      const std::size_t equals = pair.find('=');
      std::string key = pair.substr(0, equals);
      std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
      std::replace(key.begin(), key.end(), '+', ' ');
      std::replace(value.begin(), value.end(), '+', ' ');
      request.params.emplace(DecodePath(key), DecodePath(value));
    }
    start = end + 1;
  }
}

// True while the client keeps the connection open.
bool PeerConnected(SOCKET s) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval now{0, 0};
  if (::select(0, &readable, nullptr, nullptr, &now) <= 0) return true;
  char byte;
  return ::recv(s, &byte, 1, MSG_PEEK) > 0;
}

bool ParseHead(const std::string& head, Request& request) {
  std::size_t lineEnd = head.find("\r\n");
  const std::string line = head.substr(0, lineEnd);
  const std::size_t first = line.find(' ');
  const std::size_t second = line.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) return false;
  request.method = line.substr(0, first);
  request.target = line.substr(first + 1, second - first - 1);
  request.version = line.substr(second + 1);
  const std::size_t question = request.target.find('?');
  request.path = DecodePath(request.target.substr(0, question));
  if (question != std::string::npos) ParseQuery(request.target.substr(question + 1), request);
  std::size_t start = lineEnd + 2;
  while (start < head.size()) {
    lineEnd = head.find("\r\n", start);
    if (lineEnd == std::string::npos || lineEnd == start) break;
    const std::string header = head.substr(start, lineEnd - start);
    const std::size_t colon = header.find(':');
    if (colon != std::string::npos) {
      std::size_t valueStart = colon + 1;
      while (valueStart < header.size() && header[valueStart] == ' ') ++valueStart;
      request.headers.emplace(header.substr(0, colon), header.substr(valueStart));
    }
    start = lineEnd + 2;
  }
  return true;
}

// Sends the body as chunks until the provider calls done() or gives up.
void SendChunked(SOCKET s, const ContentProviderWithoutLength& provider) {
  std::size_t offset = 0;
  bool done = false;
  DataSink sink;
  sink.is_writable = [s] { return PeerConnected(s); };
  sink.write = [&](const char* data, std::size_t n) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", n);
    if (!SendAll(s, size, std::strlen(size)) || !SendAll(s, data, n) || !SendAll(s, "\r\n", 2)) {
      return false;
    }
    offset += n;
    return true;
  };
  sink.done = [&] {
    done = true;
    SendAll(s, "0\r\n\r\n", 5);
  };
  while (!done) {
    if (!provider(offset, sink)) break;
  }
}

}  // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

void Response::set_header(const std::string& name, const std::string& value) {
  headers.emplace(name, value);
}

void Response::set_redirect(const std::string& url, int redirectStatus) {
  status = redirectStatus;
  headers.erase("Location");
  set_header("Location", url);
}

void Response::set_content(const std::string& content, const std::string& contentType) {
  body = content;
  headers.erase("Content-Type");
  set_header("Content-Type", contentType);
}

void Response::set_content_provider(std::size_t length, const std::string& contentType,
                                    ContentProvider contentProvider) {
  headers.erase("Content-Type");
  set_header("Content-Type", contentType);
  providerLength = length;
  provider = std::move(contentProvider);
}

void Response::set_chunked_content_provider(const std::string& contentType,
                                            ContentProviderWithoutLength contentProvider) {
  headers.erase("Content-Type");
  set_header("Content-Type", contentType);
  chunkedProvider = std::move(contentProvider);
}

struct Server::Route {
  std::regex pattern;
  Handler handler;
};

Server::Server() : listener_(static_cast<std::uintptr_t>(INVALID_SOCKET)) {
  StartWinsock();
}

Server::~Server() {
  stop();
}

Server& Server::Get(const std::string& pattern, Handler handler) {
  routes_.push_back(std::make_shared<Route>(Route{std::regex(pattern), std::move(handler)}));
  return *this;
}

int Server::bind_to_any_port(const std::string& host, int) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = 0;
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, SOMAXCONN) != 0) {
    ::closesocket(s);
    return -1;
  }
  int length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  listener_ = static_cast<std::uintptr_t>(s);
  return ntohs(address.sin_port);
}

bool Server::listen_after_bind() {
  if (listener_.load() == static_cast<std::uintptr_t>(INVALID_SOCKET)) return false;
  running_ = true;
  while (!stopping_) {
    const SOCKET s = ::accept(static_cast<SOCKET>(listener_.load()), nullptr, nullptr);
    if (s == INVALID_SOCKET) break;  // stop() closed the listener
    // A client that sends nothing (a TLS hello to this plain server, say) is dropped.
    const DWORD timeoutMs = 5000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                 sizeof timeoutMs);
    std::lock_guard<std::mutex> lock(mutex_);
    open_.push_back(static_cast<std::uintptr_t>(s));
    connections_.emplace_back([this, s] { Serve(static_cast<std::uintptr_t>(s)); });
  }
  running_ = false;
  return true;
}

void Server::stop() {
  stopping_ = true;
  const auto s = listener_.exchange(static_cast<std::uintptr_t>(INVALID_SOCKET));
  if (s != static_cast<std::uintptr_t>(INVALID_SOCKET)) ::closesocket(static_cast<SOCKET>(s));
  // The accept loop ends once its listener is closed; no connection starts after that.
  while (running_) std::this_thread::yield();
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
    // Connections still waiting for their client end now.
    for (const std::uintptr_t open : open_) ::shutdown(static_cast<SOCKET>(open), SD_BOTH);
  }
  for (std::thread& t : connections) t.join();
}

void Server::Serve(std::uintptr_t connection) {
  const auto s = static_cast<SOCKET>(connection);
  std::string head;
  Request request;
  if (ReadHead(s, head) && ParseHead(head, request)) {
    Response response;
    bool routed = false;
    if (request.method == "GET") {
      for (const auto& route : routes_) {
        if (!std::regex_match(request.path, request.matches, route->pattern)) continue;
        route->handler(request, response);
        routed = true;
        break;
      }
    }
    if (!routed) {
      response.status = 404;
      response.set_content("Not Found", "text/plain");
    }
    if (response.status < 0) response.status = 200;
    const std::size_t length = response.provider ? response.providerLength : response.body.size();
    std::string out =
        "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
    if (response.chunkedProvider) {
      out += "Transfer-Encoding: chunked\r\n";
    } else {
      out += "Content-Length: " + std::to_string(length) + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    bool ok = SendAll(s, out.data(), out.size());
    if (ok && response.chunkedProvider) {
      SendChunked(s, response.chunkedProvider);
    } else if (ok && !response.provider) {
      SendAll(s, response.body.data(), response.body.size());
    } else if (ok) {
      std::size_t offset = 0;
      DataSink sink;
      sink.write = [&](const char* data, std::size_t n) {
        if (!SendAll(s, data, n)) return false;
        offset += n;
        return true;
      };
      sink.is_writable = [s] { return PeerConnected(s); };
      while (offset < length) {
        if (!response.provider(offset, length - offset, sink)) break;  // dropped part-way
      }
    }
  }
  ::shutdown(s, SD_SEND);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(std::find(open_.begin(), open_.end(), connection));
    ::closesocket(s);
  }
}

}  // namespace httplib
