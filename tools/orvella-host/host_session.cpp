// The module loaded, registered and given its settings for one command.
#include "tools/orvella-host/host_session.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "base/text_utf8.h"

namespace orvella::host {
namespace {
// The callback is a plain function: it finds its session here.
std::atomic<HostSession*> g_session{nullptr};
}  // namespace

std::string TimeStamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms.count()));
  return text;
}

HostSession::HostSession(HostOptions options)
    : options_(std::move(options)),
      profile_(options_.profilePath.empty() ? DefaultProfilePath() : options_.profilePath) {}

HostSession::~HostSession() {
  Close();
}

bool HostSession::Open() {
  const std::string path = options_.modulePath.empty() ? DefaultModulePath() : options_.modulePath;
  std::string error;
  if (!module_.Load(path, error)) {
    std::fprintf(stderr, "orvella-host: cannot load %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  g_session.store(this);
  Send(3, reinterpret_cast<uintptr_t>(&HostSession::Callback));
  Send(28, static_cast<uintptr_t>(options_.flavour));
  reads_.clear();
  recordReads_ = true;
  Send(7);
  recordReads_ = false;
  return true;
}

void HostSession::Close() {
  if (!module_.loaded()) return;
  Send(10, 0, 1);
  module_.Unload();
  g_session.store(nullptr);
}

intptr_t HostSession::Callback(uint32_t op, uintptr_t a, uintptr_t b) {
  HostSession* self = g_session.load();
  if (self == nullptr) return 0;
  switch (op) {
    case kHostOpProfileWrite:
      self->profile_.Write(*reinterpret_cast<ProfileRequest*>(a));
      break;
    case kHostOpProfileRead: {
      auto& request = *reinterpret_cast<ProfileRequest*>(a);
      self->profile_.Read(request);
      if (self->recordReads_) {
        std::string value =
            request.kind == kProfileInt
                ? std::to_string(static_cast<int32_t>(static_cast<uint32_t>(request.value)))
                : "\"" + WideToUtf8(reinterpret_cast<const wchar_t*>(request.value)) + "\"";
        self->reads_.push_back({WideToUtf8(request.key), std::move(value)});
      }
      break;
    }
    case kHostOpLog:
      self->OnLog(reinterpret_cast<const wchar_t*>(a), reinterpret_cast<const wchar_t*>(b));
      break;
    case kHostOpNotify:
      self->notifications_.fetch_add(1);
      if (!self->options_.quiet) {
        std::fprintf(stderr, "%s [host] operation 9 (%lu, %lu): the image folder changed\n",
                     TimeStamp().c_str(), static_cast<unsigned long>(a),
                     static_cast<unsigned long>(b));
      }
      break;
    default:
      break;
  }
  return 0;
}

void HostSession::OnLog(const wchar_t* source, const wchar_t* line) {
  const std::wstring text = line ? line : L"";
  if (!options_.quiet) {
    std::fprintf(stderr, "%s %s %s\n", TimeStamp().c_str(),
                 WideToUtf8(source ? source : L"").c_str(), WideToUtf8(text).c_str());
  }
  if (observer_) observer_(text);
}

}  // namespace orvella::host
