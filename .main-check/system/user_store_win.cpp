// The account store on Windows: string values under the current user's registry key.
#include <windows.h>

#include <cwchar>

#include "system/user_store.h"

namespace orvella {
namespace {

HKEY RootKey(RegRoot) {
  return HKEY_CURRENT_USER;
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
                    const std::wstring& text) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(RootKey(root), keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // REG_SZ data is the text with its terminating zero.
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const bool written =
      ::RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
  const bool closed = ::RegCloseKey(key) == ERROR_SUCCESS;
  return written && closed;
}

}  // namespace orvella
