// Wide URL text to the bytes of a request line.
#include "net/wire_url.h"

#include "base/ansi_codepage.h"

namespace orvella {

std::string WireUrl(std::wstring_view url) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const std::string bytes = WideToAnsi(url);
  std::string wire;
  wire.reserve(bytes.size());
  for (char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    // A raw blank would end the request target; a raw CR or LF would end the request line
    // and let typed text add header lines of its own.
    if (byte <= 0x20 || byte == 0x7F) {
      wire += '%';
      wire += kHexDigits[byte >> 4];
      wire += kHexDigits[byte & 0x0F];
    } else {
      wire += b;
    }
  }
  return wire;
}

}  // namespace orvella
