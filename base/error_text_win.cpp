// Error texts from FormatMessageW, in the system's language.
#include "base/error_text.h"

#include <windows.h>

namespace orvella {

std::wstring SystemErrorText(int32_t code, const void* messages) {
  // The caller hands the module over: a look-up by name would ask the loader, whose lock
  // an unloading host holds while it waits for the worker.
  const auto module = static_cast<HMODULE>(const_cast<void*>(messages));
  DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  wchar_t* text = nullptr;
  ::FormatMessageW(flags, module, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0,
                   nullptr);
  std::wstring message = text != nullptr ? text : L"";
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) message = L"error " + std::to_wstring(code);
  return message;
}

}  // namespace orvella
