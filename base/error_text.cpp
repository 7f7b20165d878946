// The system's error texts as the end of a sentence, on every platform.
#include "base/error_text.h"

namespace orvella {

std::wstring SystemErrorPhrase(int32_t code) {
  std::wstring text = SystemErrorText(code);
  while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
  return text.empty() ? L"error " + std::to_wstring(code) : text;
}

}  // namespace orvella
