// The image folder's lock: one worker at a time downloads into a folder or deletes from it.
#pragma once

#include <cstdint>
#include <filesystem>

namespace orvella {

class FolderLock {
 public:
  enum class Outcome {
    kLocked,  // this object holds the lock now
    kBusy,    // another holder has it
    kFailed,  // the lock file cannot be made or used (no folder, no right, a planted link)
  };

  FolderLock() = default;
  /// Releases a lock still held.
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  /// Takes the lock that `lockFile` stands for, without waiting. Another FolderLock on
  /// the same file, in this process or another one, gets kBusy until this one releases
  /// it; a holder that dies releases it with its process. Any thread.
  Outcome TryAcquire(const std::filesystem::path& lockFile);
  /// Releases the lock and removes the lock file; nothing when none is held.
  void Release();
  bool Held() const { return handle_ != kNone; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // descriptor or handle of the open lock file
  std::filesystem::path file_;
};

}  // namespace orvella
