// Error texts from strerror_r, which, unlike strerror, any thread may call.
#include "base/error_text.h"

#include <cstring>

#include "base/text_utf8.h"

namespace orvella {

std::wstring SystemErrorText(int32_t code, const void*) {
  char buffer[256] = {};
  const char* text = ::strerror_r(code, buffer, sizeof buffer);  // the GNU form
  if (text == nullptr || *text == '\0') return L"error " + std::to_wstring(code);
  return Utf8ToWide(text);
}

}  // namespace orvella
