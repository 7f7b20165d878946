// The module loaded, registered and given its settings for one command.
#include "tools/orvella-host/host_session.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "base/text_utf8.h"
#include "base/write_log.h"
#include "tools/orvella-host/ini_text.h"

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

bool HostSession::LoadModule() {
  std::vector<std::string> candidates = {options_.modulePath};
  if (options_.modulePath.empty()) candidates = ModuleCandidates();
  modulePath_ = candidates.front();
  std::error_code ec;
  for (const std::string& candidate : candidates) {
    if (std::filesystem::exists(candidate, ec)) {
      modulePath_ = candidate;
      break;
    }
  }
  std::string error;
  if (module_.Load(modulePath_, error)) return true;
  std::fprintf(stderr, "orvella-host: cannot load the plug-in module %s: %s\n", modulePath_.c_str(),
               error.c_str());
  if (candidates.size() > 1) {
    std::fprintf(stderr, "orvella-host: looked for it at:");
    for (const std::string& candidate : candidates) std::fprintf(stderr, " %s", candidate.c_str());
    std::fprintf(stderr, " (--module PATH names another)\n");
  }
  return false;
}

namespace {
// Tells why the profile is not used; names the line to correct when there is one.
void ShowProfileProblem(const std::string& problem, const std::string& path) {
  std::fprintf(stderr, "orvella-host: %s\n", problem.c_str());
  std::fprintf(stderr, "orvella-host: the profile is left as it is%s\n",
               NamesLine(problem, path) ? "; correct that line first" : "");
}
}  // namespace

bool HostSession::Open() {
  std::string error;
  if (!profile_.Load(error)) {
    ShowProfileProblem(error, profile_.path());
    return false;
  }
  if (!LoadModule()) return false;
  g_session.store(this);
  Send(3, reinterpret_cast<uintptr_t>(&HostSession::Callback));
  Send(28, static_cast<uintptr_t>(options_.flavour));
  reads_.clear();
  recordReads_ = true;
  Send(7);
  recordReads_ = false;
  if (const std::string problem = profile_.problem(); !problem.empty()) {
    ShowProfileProblem(problem, profile_.path());
    return false;
  }
  if (const std::string notice = profile_.notice(); !notice.empty() && options_.verbosity >= 1) {
    std::fprintf(stderr, "orvella-host: %s\n", notice.c_str());
  }
  return true;
}

bool HostSession::SaveProfile() {
  std::string error;
  if (profile_.Save(error)) return true;
  std::fprintf(stderr, "orvella-host: the settings were not saved: %s\n", error.c_str());
  return false;
}

void HostSession::Close() {
  if (linkedLog_) SetLogCallback(nullptr);
  linkedLog_ = false;
  if (module_.loaded()) {
    Send(10, 0, 1);
    module_.Unload();
  }
  g_session.store(nullptr);
}

void HostSession::ListenToLinkedCode() {
  g_session.store(this);
  SetLogCallback(&HostSession::Callback);
  linkedLog_ = true;
}

std::string HostSession::ReadValue(const std::string& key) const {
  for (const ProfileRead& read : reads_) {
    if (read.key != key) continue;
    const std::string& value = read.value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      return value.substr(1, value.size() - 2);
    }
    return value;
  }
  return "";
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
        std::string value;
        if (request.kind == kProfileInt) {
          value = std::to_string(static_cast<int32_t>(static_cast<uint32_t>(request.value)));
        } else {
          value = '"';
          value += WideToUtf8(reinterpret_cast<const wchar_t*>(request.value));
          value += '"';
        }
        self->reads_.push_back({WideToUtf8(request.key), std::move(value)});
      }
      break;
    }
    case kHostOpLog:
      self->OnLog(reinterpret_cast<const wchar_t*>(a), reinterpret_cast<const wchar_t*>(b));
      break;
    case kHostOpNotify:
      self->notifications_.fetch_add(1);
      if (self->options_.pluginLines) {
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
  if (options_.pluginLines) {
    std::fprintf(stderr, "%s %s %s\n", TimeStamp().c_str(),
                 WideToUtf8(source ? source : L"").c_str(), WideToUtf8(text).c_str());
  }
  if (observer_) observer_(text);
}

bool IsUnreachableLine(const std::wstring& line) {
  return line.starts_with(L"InternetOpenUrl() failed") || line.starts_with(L"InternetOpen()");
}

}  // namespace orvella::host
