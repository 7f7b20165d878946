// An application object with its engine over a temporary image folder, the fake host
// receiving log lines and notifications, and helpers for the folder's files.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "engine/orvella_engine.h"
#include "host/orvella_app.h"
#include "host/text_utf8.h"
#include "host/write_log.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    SetLogCallback(FakeHost::callback());
    app.hostCallback.store(FakeHost::callback());
    app.ImgFolder = Utf8ToWide(dir.path().string());
    app.tmUpdate = 1440;
    app.minAgeCheck = 1;
  }
  ~EngineTest() override { SetLogCallback(nullptr); }

  /// Full wide path of a file in the image folder.
  std::wstring InFolder(const std::string& name) const {
    return Utf8ToWide((dir.path() / name).string());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }
  /// Names in the image folder that end with `suffix`.
  int CountFiles(const std::string& suffix) const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      n += entry.path().filename().string().ends_with(suffix);
    }
    return n;
  }

  FakeHost host;
  TempDir dir;
  COrvellaApp app;
  COrvellaEngine& engine = app.engine;
};

/// Waits until `done` holds, however long that takes (ctest's time-out ends a hang).
inline void WaitUntil(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

/// Limits the size of files this process writes (writes beyond fail with EFBIG), as a
/// full disk would; restored when it goes out of scope.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_{};
};

}  // namespace orvella::test
