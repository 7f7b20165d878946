// The terminal's questions on Windows: the console, its echo turned off for a hidden
// answer.
#include "tools/orvella-host/terminal_input.h"

#include <windows.h>

#include "base/text_utf8.h"

namespace orvella::host {
namespace {

// Reads up to the line's end; false when the console ended or failed first.
bool ReadLine(HANDLE input, std::wstring& line) {
  for (wchar_t c;;) {
    DWORD read = 0;
    if (!::ReadConsoleW(input, &c, 1, &read, nullptr) || read == 0) return false;
    if (c == L'\n') return true;
    if (c != L'\r') line += c;
  }
}

}  // namespace

bool AskTerminal(const std::string& prompt, bool hidden, std::string& answer) {
  answer.clear();
  const HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return false;
  const HANDLE output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  bool ok = output != INVALID_HANDLE_VALUE && ::GetConsoleMode(input, &mode);
  if (ok && hidden) ok = ::SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  const std::wstring wide = Utf8ToWide(prompt);
  DWORD written = 0;
  std::wstring line;
  ok = ok &&
       ::WriteConsoleW(output, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
       ReadLine(input, line);
  if (hidden && mode != 0) {
    ::SetConsoleMode(input, mode);
    ::WriteConsoleW(output, L"\r\n", 2, &written, nullptr);
  }
  if (ok) answer = WideToUtf8(line);
  line.assign(line.size(), L'\0');
  if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
  ::CloseHandle(input);
  return ok;
}

}  // namespace orvella::host
