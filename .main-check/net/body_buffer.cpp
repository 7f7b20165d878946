// The growing heap block a fetched body is gathered into.
#include "net/body_buffer.h"

#include <cstdlib>
#include <cstring>

namespace orvella {
namespace {
constexpr std::size_t kFirstCapacity = 4096;
}

BodyBuffer::~BodyBuffer() {
  Discard();
}

void BodyBuffer::Discard() {
  std::free(block_);
  block_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

bool BodyBuffer::Append(const char* data, std::size_t n) {
  if (n == 0) return true;
  if (n > maxLength_ - length_) {
    Discard();
    return false;
  }
  const std::size_t needed = static_cast<std::size_t>(length_) + n + 1;
  if (needed > capacity_) {
    std::size_t capacity = capacity_ < kFirstCapacity ? kFirstCapacity : capacity_;
    while (capacity < needed) capacity *= 2;
    char* grown = static_cast<char*>(std::realloc(block_, capacity));
    if (grown == nullptr) {
      Discard();
      return false;
    }
    block_ = grown;
    capacity_ = capacity;
    if (onGrow_ != nullptr) onGrow_(block_, capacity_);
  }
  std::memcpy(block_ + length_, data, n);
  length_ += static_cast<uint32_t>(n);
  block_[length_] = '\0';
  return true;
}

void BodyBuffer::Reserve(std::size_t total) {
  if (total > maxLength_ || total + 1 <= capacity_) return;
  if (char* grown = static_cast<char*>(std::realloc(block_, total + 1))) {
    block_ = grown;
    capacity_ = total + 1;
    if (onGrow_ != nullptr) onGrow_(block_, capacity_);
  }
}

char* BodyBuffer::Release() {
  char* block = block_;
  if (block != nullptr && capacity_ != static_cast<std::size_t>(length_) + 1) {
    // Give back the spare room; should the shrink fail, the larger block is as good.
    if (char* exact = static_cast<char*>(std::realloc(block, length_ + std::size_t{1}))) {
      block = exact;
    }
  }
  block_ = nullptr;
  length_ = 0;
  capacity_ = 0;
  return block;
}

}  // namespace orvella
