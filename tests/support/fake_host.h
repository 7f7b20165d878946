// A fake host for tests: an in-memory profile, recorded profile calls, log lines and
// notifications. Its callback is a plain function, so one FakeHost is active at a time.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/host_callback.h"

namespace orvella::test {

struct ProfileCall {
  uint32_t op;  // 5 write, 6 read
  std::wstring key;
  int32_t kind;
  std::wstring text;  // string write: the text; string read: the default
  int32_t number;     // int write: the value; int read: the default
  int32_t capacity;
};

class FakeHost {
 public:
  FakeHost();
  ~FakeHost();

  /// The callback to register with message 3.
  static HostCallback callback();
  /// The same, as the pointer-sized value message 3 takes.
  static uintptr_t callbackArg() { return reinterpret_cast<uintptr_t>(callback()); }

  void SetInt(const std::wstring& key, int32_t value);
  void SetString(const std::wstring& key, const std::wstring& value);
  /// Answers integer reads of `key` as a host that fills the whole 8-byte value field
  /// would: with `raw`, high bytes included.
  void SetRawInt(const std::wstring& key, int64_t raw);
  /// Answers string reads of `key` with the host's own copy of `text` (terminated only after
  /// it): the value field points there, the plug-in's buffer is left alone.
  void SetHostOwnedString(const std::wstring& key, const std::wstring& text);
  /// Answers string reads of `key` by filling all 1024 characters of the plug-in's buffer
  /// with `fill`, its last one included: no terminator anywhere.
  void SetOverfullString(const std::wstring& key, wchar_t fill);
  /// Sets what a worker needs to run one feed: enabled, the image folder `folder`, one
  /// enabled wallpaper feed.
  void SetOneFeedProfile(const std::wstring& folder);
  bool Has(const std::wstring& key) const;
  int32_t Int(const std::wstring& key) const;
  std::wstring String(const std::wstring& key) const;

  std::vector<ProfileCall> calls() const;
  void ClearCalls();
  std::vector<std::wstring> logs() const;
  void ClearLogs();
  /// True when a log line equals `line` exactly.
  bool Logged(const std::wstring& line) const;
  /// Number of log lines that start with `prefix`.
  int CountLogs(const std::wstring& prefix) const;
  /// Calls `action` on the thread that logs, outside the host's lock and before the line is
  /// recorded, for each log line that starts with `prefix` (one hook at a time; an empty
  /// action removes it). A test can hold the plug-in at that line so.
  void SetLogHook(const std::wstring& prefix, std::function<void()> action);
  int notifications() const { return notifications_.load(); }
  std::vector<std::wstring> sources() const;

 private:
  static intptr_t Dispatch(uint32_t op, uintptr_t a, uintptr_t b);
  void OnProfile(uint32_t op, ProfileRequest& request);

  mutable std::mutex mutex_;
  std::map<std::wstring, std::wstring> strings_;
  std::map<std::wstring, int32_t> ints_;
  std::map<std::wstring, int64_t> rawInts_;
  std::map<std::wstring, std::wstring> hostOwned_;
  std::map<std::wstring, wchar_t> overfull_;
  std::vector<ProfileCall> calls_;
  std::vector<std::wstring> logs_;
  std::vector<std::wstring> sources_;
  std::wstring lastText_;
  std::atomic<int> notifications_{0};
  std::wstring hookPrefix_;
  std::function<void()> hook_;
};

}  // namespace orvella::test
