// The image folder's lock: one worker at a time downloads into a folder, deletes from it
// or writes its list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "system/folder_handle.h"

namespace orvella {

class FolderLock {
 public:
  enum class Outcome {
    kLocked,  // this object holds the lock now
    kBusy,    // another holder has it
    kFailed,  // the lock file cannot be made or used: something that is not the plug-in's
              // own plain file stands at its name, or the folder refuses it (`reason`)
  };

  FolderLock() = default;
  /// Releases a lock still held.
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  /// Takes the lock that the file `name` in `folder` stands for, without waiting. Another
  /// FolderLock on the same file, in this process or another one, gets kBusy until this
  /// one releases it; a holder that dies releases it with its process. The lock file is
  /// only ever the plug-in's own plain file: a link, a pipe, a folder, a file with more
  /// than one link or another user's file at the name gives kFailed, and so does a folder
  /// that refuses the file (the system's reason in `reason`). Any thread.
  Outcome TryAcquire(const FolderHandle& folder, std::wstring_view name, std::wstring& reason);
  /// True while the lock is held and its file still stands at its name: a lock file
  /// deleted or replaced meanwhile no longer keeps anyone out.
  bool StillHeld() const;
  /// Releases the lock and removes the lock file; nothing when none is held.
  void Release();
  bool Held() const { return handle_ != kNone; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // descriptor or handle of the open lock file
  const FolderHandle* folder_ = nullptr;
  std::wstring name_;
};

}  // namespace orvella
