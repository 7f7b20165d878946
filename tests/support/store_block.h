// The user store made unwritable for a test, in ways that refuse root too: CI runs the
// tests as root, whom file modes do not stop.
#pragma once

#include <cstdint>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace orvella::test {

enum class StoreBlock {
  // POSIX: a file where the folder "Halvenworks" of the account values should be (a
  // folder there is put aside until the block ends).
  // Windows: the key above the account key is volatile, and no stable key can be made
  // under a volatile one.
  kFileAtFolder,
  // POSIX: the account folder exists but takes no new file (immutable for root, mode
  // 0500 for anyone else). Windows: none.
  kReadOnlyFolder,
};

/// Blocks the account values of `home` for its lifetime (or until Lift()).
class ScopedStoreBlock {
 public:
  ScopedStoreBlock(const ScopedConfigHome& home, StoreBlock how);
  ~ScopedStoreBlock() { Lift(); }
  ScopedStoreBlock(const ScopedStoreBlock&) = delete;
  ScopedStoreBlock& operator=(const ScopedStoreBlock&) = delete;

  /// False where the platform or the test's rights allow no such block.
  bool active() const { return active_; }
  /// Makes the store writable again. Idempotent.
  void Lift();
  /// The error number the system gives for a write the block refuses (errno; a Win32
  /// error code on Windows).
  int32_t error() const { return error_; }

 private:
  std::filesystem::path home_;
  StoreBlock how_;
  bool active_ = false;
  int32_t error_ = 0;
};

}  // namespace orvella::test
