// The ANSI code page on Windows: the calling thread's (CP_THREAD_ACP), converted by the
// system with no flags, so a character the code page lacks takes the system's best fit
// or the code page's default character, as every Windows program of the service's
// users has always sent it.
#include "base/ansi_codepage.h"

#include <windows.h>

#include <climits>

namespace orvella {

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string(text.size(), '?');
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, bytes.data(), size, nullptr,
                        nullptr);
  return bytes;
}

std::wstring AnsiToWide(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int length = static_cast<int>(bytes.size());
  const int size = ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), length, text.data(), size);
  return text;
}

}  // namespace orvella
