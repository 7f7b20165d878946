// The fake host's callback, profile and records.
#include "tests/support/fake_host.h"

#include <cwchar>

namespace orvella::test {
namespace {
std::atomic<FakeHost*> g_active{nullptr};
}

FakeHost::FakeHost() {
  g_active.store(this);
}

FakeHost::~FakeHost() {
  FakeHost* self = this;
  g_active.compare_exchange_strong(self, nullptr);
}

HostCallback FakeHost::callback() {
  return &FakeHost::Dispatch;
}

intptr_t FakeHost::Dispatch(uint32_t op, uintptr_t a, uintptr_t b) {
  FakeHost* self = g_active.load();
  if (self == nullptr) return 0;
  if (op == kHostOpProfileRead || op == kHostOpProfileWrite) {
    self->OnProfile(op, *reinterpret_cast<ProfileRequest*>(a));
  } else if (op == kHostOpLog) {
    const std::wstring line = reinterpret_cast<const wchar_t*>(b);
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> guard(self->mutex_);
      if (self->hook_ && line.starts_with(self->hookPrefix_)) hook = self->hook_;
    }
    if (hook) hook();
    std::lock_guard<std::mutex> guard(self->mutex_);
    self->sources_.emplace_back(reinterpret_cast<const wchar_t*>(a));
    self->logs_.push_back(line);
  } else if (op == kHostOpNotify && a == 5 && b == 1) {
    self->notifications_.fetch_add(1);
  }
  return 0x7777;  // the plug-in must ignore this
}

void FakeHost::OnProfile(uint32_t op, ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  ProfileCall call{op, request.key, request.kind, {}, 0, request.capacity};
  const std::wstring key = request.key;
  if (op == kHostOpProfileWrite) {
    if (request.kind == kProfileInt) {
      call.number = static_cast<int32_t>(static_cast<uint32_t>(request.value));
      ints_[key] = call.number;
      strings_.erase(key);
    } else {
      call.text = reinterpret_cast<const wchar_t*>(request.value);
      strings_[key] = call.text;
      ints_.erase(key);
    }
  } else if (request.kind == kProfileInt) {
    call.number = static_cast<int32_t>(request.defaultValue);
    const auto it = ints_.find(key);
    request.value =
        static_cast<intptr_t>(static_cast<uint32_t>(it != ints_.end() ? it->second : call.number));
    if (const auto raw = rawInts_.find(key); raw != rawInts_.end()) {
      request.value = static_cast<intptr_t>(raw->second);
    }
  } else if (const auto own = hostOwned_.find(key); own != hostOwned_.end()) {
    request.value = reinterpret_cast<intptr_t>(own->second.c_str());
  } else if (const auto fill = overfull_.find(key); fill != overfull_.end()) {
    std::wmemset(reinterpret_cast<wchar_t*>(request.value), fill->second, 1024);
  } else {
    call.text = reinterpret_cast<const wchar_t*>(request.defaultValue);
    const auto it = strings_.find(key);
    const std::wstring value = it != strings_.end() ? it->second : call.text;
    auto* buffer = reinterpret_cast<wchar_t*>(request.value);
    const std::size_t n =
        std::min<std::size_t>(value.size(), static_cast<std::size_t>(request.capacity));
    std::wmemcpy(buffer, value.data(), n);
    buffer[n] = L'\0';
  }
  calls_.push_back(std::move(call));
}

void FakeHost::SetInt(const std::wstring& key, int32_t value) {
  std::lock_guard<std::mutex> guard(mutex_);
  ints_[key] = value;
}
void FakeHost::SetString(const std::wstring& key, const std::wstring& value) {
  std::lock_guard<std::mutex> guard(mutex_);
  strings_[key] = value;
}
void FakeHost::SetRawInt(const std::wstring& key, int64_t raw) {
  std::lock_guard<std::mutex> guard(mutex_);
  rawInts_[key] = raw;
}
void FakeHost::SetHostOwnedString(const std::wstring& key, const std::wstring& text) {
  std::lock_guard<std::mutex> guard(mutex_);
  hostOwned_[key] = text;
}
void FakeHost::SetOverfullString(const std::wstring& key, wchar_t fill) {
  std::lock_guard<std::mutex> guard(mutex_);
  overfull_[key] = fill;
}
void FakeHost::SetLogHook(const std::wstring& prefix, std::function<void()> action) {
  std::lock_guard<std::mutex> guard(mutex_);
  hookPrefix_ = prefix;
  hook_ = std::move(action);
}
void FakeHost::SetOneFeedProfile(const std::wstring& folder) {
  SetInt(L"Enabled", 1);
  SetString(L"ImgFolder", folder);
  SetInt(L"nFeeds", 1);
  SetInt(L"Feed0_Type", 1);
  SetInt(L"Feed0_Flg", 1);
}
bool FakeHost::Has(const std::wstring& key) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return ints_.count(key) || strings_.count(key);
}
int32_t FakeHost::Int(const std::wstring& key) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = ints_.find(key);
  return it == ints_.end() ? -12345 : it->second;
}
std::wstring FakeHost::String(const std::wstring& key) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = strings_.find(key);
  return it == strings_.end() ? L"<missing>" : it->second;
}
std::vector<ProfileCall> FakeHost::calls() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return calls_;
}
void FakeHost::ClearCalls() {
  std::lock_guard<std::mutex> guard(mutex_);
  calls_.clear();
}
std::vector<std::wstring> FakeHost::logs() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return logs_;
}
void FakeHost::ClearLogs() {
  std::lock_guard<std::mutex> guard(mutex_);
  logs_.clear();
}
bool FakeHost::Logged(const std::wstring& line) const {
  std::lock_guard<std::mutex> guard(mutex_);
  for (const auto& l : logs_) {
    if (l == line) return true;
  }
  return false;
}
int FakeHost::CountLogs(const std::wstring& prefix) const {
  std::lock_guard<std::mutex> guard(mutex_);
  int n = 0;
  for (const auto& l : logs_) n += l.compare(0, prefix.size(), prefix) == 0;
  return n;
}
std::vector<std::wstring> FakeHost::sources() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return sources_;
}

}  // namespace orvella::test
