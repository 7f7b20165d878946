// Which bare file names the plug-in may create or delete in the image folder.
#include "engine/local_names.h"

#include <algorithm>

namespace orvella {
namespace {

wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c;
}

bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 address devices on Windows, with any extension.
bool IsWindowsDeviceName(std::wstring_view name) {
  const std::wstring_view stem = name.substr(0, name.find(L'.'));
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
    if (SameIgnoringAsciiCase(stem, device)) return true;
  }
  if (stem.size() != 4 || stem[3] < L'0' || stem[3] > L'9') return false;
  return SameIgnoringAsciiCase(stem.substr(0, 3), L"COM") ||
         SameIgnoringAsciiCase(stem.substr(0, 3), L"LPT");
}

bool HasUnsafeCharacter(std::wstring_view name) {
  return std::any_of(name.begin(), name.end(), [](wchar_t c) {
    return c == L'/' || c == L'\\' || c == L':' || c < 0x20 || c == 0x7f;
  });
}

}  // namespace

bool IsUsableLocalName(std::wstring_view name, NameRules rules) {
  if (name.empty() || name == L"." || name == L"..") return false;
  if (HasUnsafeCharacter(name)) return false;
  // Case is ignored: on a case-insensitive file system these still hit our own files.
  if (SameIgnoringAsciiCase(name, kListFileName) ||
      SameIgnoringAsciiCase(name, kListTempFileName)) {
    return false;
  }
  if (rules == NameRules::kWindows) {
    if (name.back() == L'.' || name.back() == L' ') return false;
    if (IsWindowsDeviceName(name)) return false;
  }
  return true;
}

}  // namespace orvella
