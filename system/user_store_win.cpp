// The account store on Windows: string values under the current user's registry key.
#include "system/user_store.h"

#include <windows.h>

#include <cwchar>

#include "base/error_text.h"

namespace orvella {
namespace {

HKEY RootKey(RegRoot) {
  return HKEY_CURRENT_USER;
}

// Sets `reason`, when given, to what failed and the system's text for `status`. Returns
// false, the result of the write that failed.
bool Failed(std::wstring* reason, const std::wstring& what, LSTATUS status) {
  if (reason != nullptr) *reason = what + L": " + SystemErrorText(static_cast<int32_t>(status));
  return false;
}

}  // namespace

std::wstring ReadRegString(RegRoot root, const std::wstring& keyPath,
                           const std::wstring& valueName) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(RootKey(root), keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  // 1024 bytes: 511 characters and the terminator; a longer value fails with
  // ERROR_MORE_DATA and reads as empty. The value's type is not looked at.
  wchar_t buffer[1024 / sizeof(wchar_t)];
  DWORD bytes = sizeof buffer;
  const LSTATUS status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(buffer), &bytes);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  const std::size_t chars = bytes / sizeof(wchar_t);
  return std::wstring(buffer, ::wcsnlen(buffer, chars));
}

bool WriteRegString(RegRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                    const std::wstring& text, std::wstring* reason) {
  HKEY key = nullptr;
  const LSTATUS opened = ::RegCreateKeyExW(RootKey(root), keyPath.c_str(), 0, nullptr, 0, KEY_WRITE,
                                           nullptr, &key, nullptr);
  if (opened != ERROR_SUCCESS) return Failed(reason, L"cannot open the key " + keyPath, opened);
  // REG_SZ data is the text with its terminating zero.
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const LSTATUS written = ::RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  const LSTATUS closed = ::RegCloseKey(key);
  if (written != ERROR_SUCCESS) return Failed(reason, L"cannot set the value", written);
  if (closed != ERROR_SUCCESS) return Failed(reason, L"cannot close the key " + keyPath, closed);
  return true;
}

}  // namespace orvella
