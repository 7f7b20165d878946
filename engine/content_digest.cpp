#include "engine/content_digest.h"

#include <xxhash.h>

#include <new>

namespace orvella {
namespace {

void AppendHex(std::string& text, XXH64_hash_t half) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 60; shift >= 0; shift -= 4) text += kDigits[(half >> shift) & 0xF];
}

std::string HashText(XXH128_hash_t hash) {
  std::string text;
  text.reserve(32);
  AppendHex(text, hash.high64);
  AppendHex(text, hash.low64);
  return text;
}

}  // namespace

void ContentDigest::Free::operator()(XXH3_state_s* state) const {
  XXH3_freeState(state);
}

ContentDigest::ContentDigest() : state_(XXH3_createState()) {
  if (state_ == nullptr) throw std::bad_alloc();
  Reset();
}

ContentDigest::~ContentDigest() = default;

void ContentDigest::Reset() {
  XXH3_128bits_reset(state_.get());
}

void ContentDigest::Update(const void* data, std::size_t size) {
  XXH3_128bits_update(state_.get(), data, size);
}

std::string ContentDigest::Text() const {
  return HashText(XXH3_128bits_digest(state_.get()));
}

std::string ContentDigest::Of(const void* bytes, std::size_t size) {
  return HashText(XXH3_128bits(bytes, size));
}

}  // namespace orvella
