// Which bare file names the plug-in may create or delete in the image folder, and which
// URLs and names it may record.
#include "engine/local_names.h"

#include <algorithm>

#include "net/url_parse.h"

namespace orvella {
namespace {

using namespace std::string_view_literals;

// The plug-in's own files. Case is ignored: on a case-insensitive file system these
// names still hit them.
constexpr std::wstring_view kOwnFileNames[] = {kListFileName, kListTempFileName, kJournalFileName,
                                               kLockFileName};

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
  for (const std::wstring_view device : {L"CON"sv, L"PRN"sv, L"AUX"sv, L"NUL"sv}) {
    if (SameIgnoringAsciiCase(stem, device)) return true;
  }
  if (stem.size() != 4 || stem[3] < L'0' || stem[3] > L'9') return false;
  return SameIgnoringAsciiCase(stem.substr(0, 3), L"COM"sv) ||
         SameIgnoringAsciiCase(stem.substr(0, 3), L"LPT"sv);
}

// Whether every character is printable ASCII (U+0020..U+007E), as URLs and names nearly
// always are. No branch per character: the list writer and reader check every entry of a
// list that may hold a million, and this loop is what the compiler can vectorise.
bool IsPrintableAscii(std::wstring_view text) {
  uint32_t outside = 0;
  for (const wchar_t c : text) outside |= static_cast<uint32_t>(c) - 0x20u >= 0x5Fu;
  return outside == 0;
}

bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsSurrogate(char32_t c, char32_t first, char32_t last) {
  return c >= first && c <= last;
}

// Whether the character at `i`, at least U+D800, is one UTF-8 carries and brings back
// unchanged: no code point beyond U+10FFFF and no surrogate, but for a high one followed
// by a low one where wchar_t is UTF-16 (`i` then moves onto the low one).
bool WellFormedFrom(std::wstring_view text, std::size_t& i) {
  const auto c = static_cast<char32_t>(text[i]);
  if (c > 0x10FFFF) return false;
  if (!IsSurrogate(c, 0xD800, 0xDFFF)) return true;
  if constexpr (sizeof(wchar_t) == 2) {
    if (IsSurrogate(c, 0xD800, 0xDBFF) && i + 1 < text.size() &&
        IsSurrogate(static_cast<char32_t>(text[i + 1]), 0xDC00, 0xDFFF)) {
      ++i;
      return true;
    }
  }
  return false;
}

// A line of the list file reads back as written when it holds no line end or NUL, fits
// one piece and survives the UTF-8 round trip. One pass: the list writer checks every
// entry of a list that may hold a million.
bool FitsOneLine(std::wstring_view text) {
  if (text.size() > kListTextMax) return false;
  if (IsPrintableAscii(text)) return true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<char32_t>(text[i]);
    if (c >= 0x20 && c < 0xD800) continue;
    if (c == L'\n' || c == 0) return false;
    if (c >= 0xD800 && !WellFormedFrom(text, i)) return false;
  }
  return true;
}

bool HasFolderSeparator(std::wstring_view name) {
  uint32_t found = 0;  // no branch per character, as in IsPrintableAscii
  for (const wchar_t c : name) found |= (c == L'/') | (c == L'\\') | (c == L':');
  return found != 0;
}

bool IsOwnFileName(std::wstring_view name) {
  return std::any_of(std::begin(kOwnFileNames), std::end(kOwnFileNames),
                     [name](std::wstring_view own) { return SameIgnoringAsciiCase(name, own); });
}

}  // namespace

bool IsUsableImageFolder(std::wstring_view folder) {
  return !folder.empty() && FsPath(folder).is_absolute();
}

bool IsPlainText(std::wstring_view text) {
  if (IsPrintableAscii(text)) return true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<char32_t>(text[i]);
    if (c >= 0x20 && c < 0x7F) continue;
    if (IsControl(c)) return false;
    if (c >= 0xD800 && !WellFormedFrom(text, i)) return false;
  }
  return true;
}

std::wstring BareNameOf(const ParsedUrl& parsed) {
  const std::size_t slash = parsed.object.rfind(L'/');
  std::wstring name = slash == std::wstring::npos ? parsed.object : parsed.object.substr(slash + 1);
  const std::size_t question = name.find(L'?');
  if (question != std::wstring::npos) name.erase(question);
  return name;
}

bool BareNameOfUrl(std::wstring_view url, std::wstring& name) {
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed)) return false;
  name = BareNameOf(parsed);
  return true;
}

std::wstring PrintableText(std::wstring_view text) {
  std::wstring shown(text);
  for (wchar_t& c : shown) {
    const auto code = static_cast<char32_t>(c);
    if (IsControl(code) || code > 0x10FFFF || IsSurrogate(code, 0xD800, 0xDFFF)) c = L'?';
  }
  return shown;
}

bool IsUsableLocalName(std::wstring_view name, NameRules rules) {
  if (name.empty() || name == L"."sv || name == L".."sv) return false;
  // A name the list could not hold as one line piece would leave its file unrecorded.
  if (name.size() > kListTextMax) return false;
  if (HasFolderSeparator(name) || !IsPlainText(name)) return false;
  if (IsOwnFileName(name)) return false;
  if (rules == NameRules::kWindows) {
    if (name.back() == L'.' || name.back() == L' ') return false;
    if (IsWindowsDeviceName(name)) return false;
  }
  return true;
}

bool IsRecordableUrl(std::wstring_view url) {
  return !url.empty() && url.size() <= kListTextMax && IsPlainText(url);
}

bool IsListableEntry(std::wstring_view url, std::wstring_view name, NameRules rules) {
  return !url.empty() && FitsOneLine(url) && IsUsableLocalName(name, rules) && FitsOneLine(name);
}

std::wstring WorkName(std::wstring_view name, NameRules rules) {
  std::wstring work(name);
  ChangeExtension(work, kWorkExtension);
  if (SameFileName(work, name, rules)) {
    work.assign(name);
    work += L'.';
    work += kWorkExtension;
  }
  return work;
}

std::size_t NameUnits(std::wstring_view name, NameRules rules) {
  std::size_t units = 0;
  for (const wchar_t c : name) {
    const auto code = static_cast<uint32_t>(c);
    if (rules == NameRules::kWindows) {
      units += code > 0xFFFF ? 2 : 1;  // UTF-16, as the name is stored there
    } else {
      units += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;  // UTF-8 bytes
    }
  }
  return units;
}

std::wstring WorkNameCandidate(std::wstring_view name, int attempt, NameRules rules) {
  const std::wstring plain = WorkName(name, rules);
  if (attempt == 0 && NameUnits(plain, rules) <= kMaxNameUnits) return plain;
  // The name's own part before the extension, cut to leave room for a number that keeps
  // the work name apart from every other in the folder.
  std::wstring stem(name);
  const std::size_t dot = stem.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) stem.resize(dot);
  const std::wstring tail = L"~" + std::to_wstring(attempt) + L"." + kWorkExtension;
  const std::size_t room = kMaxNameUnits - NameUnits(tail, rules);
  while (!stem.empty() && NameUnits(stem, rules) > room) stem.pop_back();
  // Where wchar_t is UTF-16, a cut must not leave half of a surrogate pair.
  if (!stem.empty() && (static_cast<uint32_t>(stem.back()) & 0xFC00) == 0xD800) stem.pop_back();
  return stem + tail;
}

std::wstring FoldedName(std::wstring_view name, NameRules rules) {
  std::wstring folded(name);
  if (rules == NameRules::kWindows) {
    for (wchar_t& c : folded) c = AsciiUpper(c);
  }
  return folded;
}

bool SameFileName(std::wstring_view a, std::wstring_view b, NameRules rules) {
  return rules == NameRules::kWindows ? SameIgnoringAsciiCase(a, b) : a == b;
}

}  // namespace orvella
