// A profile string copied into the plug-in's buffer.
#include "tools/orvella-host/profile_answer.h"

#include <algorithm>
#include <cwchar>

namespace orvella::host {

void AnswerString(ProfileRequest& request, const std::wstring& text) {
  auto* buffer = reinterpret_cast<wchar_t*>(request.value);
  if (buffer != nullptr && request.capacity > 0) {
    const std::size_t n =
        std::min<std::size_t>(text.size(), static_cast<std::size_t>(request.capacity));
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = L'\0';
  } else {
    request.value = reinterpret_cast<intptr_t>(text.c_str());
  }
}

}  // namespace orvella::host
