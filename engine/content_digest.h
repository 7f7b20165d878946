// The digest that binds a stored file's journal entry to its bytes: XXH3's 128-bit hash.
// It runs over every byte downloaded, at memory speed (an MD5 of each picture cost a third
// of a sync's time), and tells a whole file from one a power cut tore or zeroed, or from a
// different file put at the name. It is no defence against someone who crafts collisions
// for a file they can already replace.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct XXH3_state_s;

namespace orvella {

class ContentDigest {
 public:
  /// A digest of no bytes yet. Throws std::bad_alloc when its state cannot be allocated.
  ContentDigest();
  ~ContentDigest();
  ContentDigest(const ContentDigest&) = delete;
  ContentDigest& operator=(const ContentDigest&) = delete;

  /// Starts again with no bytes.
  void Reset();
  /// Adds `size` bytes at `data`.
  void Update(const void* data, std::size_t size);
  /// Returns the digest of the bytes added so far as 32 upper-case hexadecimal digits
  /// (the high half first); further bytes may still be added.
  std::string Text() const;

  /// Returns the digest of `bytes` alone, as Text gives it. Any thread.
  static std::string Of(const void* bytes, std::size_t size);

 private:
  struct Free {
    void operator()(XXH3_state_s* state) const;
  };
  std::unique_ptr<XXH3_state_s, Free> state_;
};

}  // namespace orvella
