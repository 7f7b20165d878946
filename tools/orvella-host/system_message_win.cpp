// The system's message for an error code, from FormatMessageW.
#include "tools/orvella-host/system_message.h"

#include <windows.h>

namespace orvella::host {

std::wstring SystemMessage(unsigned long code) {
  wchar_t* text = nullptr;
  ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = text ? text : L"";
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
    message.pop_back();
  }
  return message;
}

}  // namespace orvella::host
