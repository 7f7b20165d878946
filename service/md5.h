// The MD5 message digest (RFC 1321), with an upper-case hexadecimal text form. The
// sign-in request sends the digest of the password instead of the password.
#pragma once

#include <cstdint>

namespace orvella {

class cMD5 {
 public:
  cMD5() = default;
  virtual ~cMD5() = default;

  /// Digests the bytes of `text` before its terminating zero. Returns the digest as 32
  /// upper-case hexadecimal digits; the pointer stays valid until the next DigestString on
  /// this object or its destruction. Resets the object first, so calls are independent.
  const char* DigestString(const char* text);

  /// Starts a new digest.
  void Init();
  /// Adds `length` bytes of `input` to the digest.
  void Update(const unsigned char* input, uint32_t length);
  /// Ends the digest, writes its 16 bytes to `digest` and clears the running state.
  void Final(unsigned char digest[16]);
  /// Compresses one 64-byte block into the chaining values `state` (A, B, C, D).
  static void Transform(uint32_t state[4], const unsigned char block[64]);

 private:
  uint32_t state[4] = {};
  uint32_t bitCount[2] = {};  // low word first
  unsigned char block[64] = {};
  char digestText[33] = {};
};

}  // namespace orvella
