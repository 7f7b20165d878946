// How often the module asks a failing feed while another feed's batch of 200 pictures is
// downloaded: the module loaded with dlopen, one worker start per case, against a loopback
// service whose first feed fails in one of four ways. Prints one line per case:
//
//   failing feed CASE: passes P queries Q
//
// P is the refresh passes of the batch (a feed asked at every pass would be asked P
// times); Q the queries of the failing feed the service received.
//
//   failing_feed MODULE FOLDER    (FOLDER: an empty folder for the pictures)
#include <dlfcn.h>
#include <httplib.h>
#include <stdlib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "base/host_callback.h"

namespace {

using orvella::ProfileRequest;
using Handler = intptr_t (*)(uintptr_t, uintptr_t, uintptr_t);

constexpr int kPictures = 200;

// The profile the module reads and what its diagnostic lines tell about the batch.
struct HostState {
  std::map<std::wstring, int32_t> numbers;
  std::map<std::wstring, std::wstring> texts;
  std::mutex mutex;
  std::condition_variable changed;
  bool batchEnded = false;
  int passes = 0;
};
HostState* g_host = nullptr;

void ReadProfile(ProfileRequest& request) {
  const std::wstring key = request.key != nullptr ? request.key : L"";
  if (request.kind == orvella::kProfileInt) {
    const auto number = g_host->numbers.find(key);
    request.value = number == g_host->numbers.end()
                        ? request.defaultValue
                        : static_cast<intptr_t>(static_cast<uint32_t>(number->second));
    return;
  }
  const auto text = g_host->texts.find(key);
  auto* buffer = reinterpret_cast<wchar_t*>(request.value);
  if (buffer == nullptr || request.capacity <= 0) return;
  const std::wstring value = text == g_host->texts.end() ? L"" : text->second;
  std::wcsncpy(buffer, value.c_str(), static_cast<std::size_t>(request.capacity));
  buffer[request.capacity] = L'\0';
}

intptr_t HostCallback(uint32_t op, uintptr_t a, uintptr_t b) {
  if (op == orvella::kHostOpProfileRead) {
    ReadProfile(*reinterpret_cast<ProfileRequest*>(a));
  } else if (op == orvella::kHostOpLog) {
    const std::wstring line = reinterpret_cast<const wchar_t*>(b);
    std::lock_guard<std::mutex> guard(g_host->mutex);
    if (line.starts_with(L"Refresh 0:")) ++g_host->passes;
    if (line == L"Download complete") g_host->batchEnded = true;
    g_host->changed.notify_all();
  }
  return 0;
}

// How the first feed fails.
struct FailureCase {
  const char* name;
  int status;              // 0: the answer is cut off after its headers
  const char* retryAfter;  // nullptr: none
};

// The loopback service: the feed tagged "fail" fails as `failure` says, the one tagged
// "ok" offers kPictures pictures of 4 KB.
class Service {
 public:
  explicit Service(const FailureCase& failure) {
    server_.Get("/api/v3/art/",
                [this, failure](const httplib::Request& request, httplib::Response& response) {
                  if (request.get_param_value("keyword") != "fail") {
                    response.set_content(catalog_, "application/json");
                    return;
                  }
                  ++failingQueries_;
                  if (failure.retryAfter != nullptr)
                    response.set_header("Retry-After", failure.retryAfter);
                  if (failure.status != 0) {
                    response.status = failure.status;
                    response.set_content("{}", "application/json");
                    return;
                  }
                  response.set_content_provider(
                      1000, "application/json",
                      [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
                });
    server_.Get(R"(/img/(\w+\.jpg))", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(4096, 'p'), "image/jpeg");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    catalog_ = "{\"art\":[";
    for (int i = 0; i < kPictures; ++i) {
      catalog_ += (i > 0 ? "," : "") + std::string("{\"name\":\"p\",\"filename\":\"p.jpg\",") +
                  "\"wall_url\":\"" + BaseUrl() + "/img/p" + std::to_string(i) + ".jpg\"}";
    }
    catalog_ += "]}";
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Service() {
    server_.stop();
    thread_.join();
  }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int failingQueries() const { return failingQueries_.load(); }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::string catalog_;
  std::atomic<int> failingQueries_{0};
};

// One worker start of the module at `path` on `folder`, until its first batch ended.
// Returns false when the module cannot be loaded.
bool RunBatch(const char* path, const std::filesystem::path& folder) {
  void* module = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
  const auto send = module != nullptr
                        ? reinterpret_cast<Handler>(::dlsym(module, "rvtPlugInMsgHandler"))
                        : nullptr;
  if (send == nullptr) {
    std::fprintf(stderr, "failing_feed: %s\n", ::dlerror());
    return false;
  }
  send(3, reinterpret_cast<uintptr_t>(&HostCallback), 0);
  send(28, 0, 0);
  send(7, 0, 0);
  send(9, 0, 0);
  {
    std::unique_lock<std::mutex> guard(g_host->mutex);
    g_host->changed.wait(guard, [] { return g_host->batchEnded; });
  }
  send(10, 0, 1);
  ::dlclose(module);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: failing_feed MODULE FOLDER\n");
    return 2;
  }
  const FailureCase cases[] = {{"503", 503, "0"},
                               {"401", 401, nullptr},
                               {"429, Retry-After 120", 429, "120"},
                               {"answer cut off", 0, nullptr}};
  int number = 0;
  for (const FailureCase& failure : cases) {
    const std::filesystem::path folder =
        std::filesystem::absolute(argv[2]) / ("case" + std::to_string(number++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    Service service(failure);
    ::setenv("ORVELLA_SERVER_URL", service.BaseUrl().c_str(), 1);
    HostState host;
    host.numbers = {{L"Enabled", 1},    {L"tmUpdate", 1440}, {L"nFeeds", 2},
                    {L"Feed0_Type", 1}, {L"Feed0_Flg", 1},   {L"Feed0_MaxP", kPictures},
                    {L"Feed1_Type", 1}, {L"Feed1_Flg", 1},   {L"Feed1_MaxP", kPictures}};
    host.texts = {
        {L"ImgFolder", folder.wstring()}, {L"Feed0_Tags", L"fail"}, {L"Feed1_Tags", L"ok"}};
    g_host = &host;
    if (!RunBatch(argv[1], folder)) return 2;
    std::printf("failing feed %s: passes %d queries %d\n", failure.name, host.passes,
                service.failingQueries());
    std::fflush(stdout);
    g_host = nullptr;
  }
  return 0;
}
