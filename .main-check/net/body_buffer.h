// A response body gathered chunk by chunk into one heap block that always ends in a NUL
// byte after the data, so it can be handed on as a C string.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvella {

class BodyBuffer {
 public:
  /// The most data a body may hold: its length travels as an unsigned 32-bit value that
  /// does not count the NUL byte.
  static constexpr uint32_t kMaxLength = UINT32_MAX - 1;

  /// Called with the block and its size in bytes each time the block was (re)allocated,
  /// so the platform can advise its memory system about large blocks. Must not fail.
  using GrowHook = void (*)(char* block, std::size_t capacity);

  /// `maxLength` caps the data; bodies that would grow past it fail like an allocation.
  explicit BodyBuffer(uint32_t maxLength = kMaxLength, GrowHook onGrow = nullptr)
      : maxLength_(maxLength), onGrow_(onGrow) {}
  ~BodyBuffer();
  BodyBuffer(const BodyBuffer&) = delete;
  BodyBuffer& operator=(const BodyBuffer&) = delete;

  /// Appends `n` bytes. The block grows geometrically, so gathering a body costs time
  /// linear in its size. Returns false, with everything gathered so far released and the
  /// length back at 0, when the block cannot grow (out of memory, or past the cap).
  bool Append(const char* data, std::size_t n);

  /// Makes room for `total` data bytes at once when the body's size is announced, so a
  /// large body is written into its final block without being moved. A failure is not
  /// an error: the block then grows as data comes. Never shrinks.
  void Reserve(std::size_t total);

  /// Number of data bytes gathered (the NUL byte not counted).
  uint32_t length() const { return length_; }

  /// Hands the block out and leaves this buffer empty: exactly length() + 1 bytes, the
  /// data followed by one NUL byte, for the caller to release with free(); null when no
  /// data was gathered.
  char* Release();

  /// Frees what was gathered; the length goes back to 0.
  void Discard();

 private:
  uint32_t maxLength_;
  GrowHook onGrow_;
  char* block_ = nullptr;
  uint32_t length_ = 0;
  std::size_t capacity_ = 0;  // bytes allocated, the NUL byte's room included
};

}  // namespace orvella
