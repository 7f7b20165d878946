// The reference host's profile on Windows: an INI file read and written with the Win32
// profile functions. The file is started with a UTF-16 byte order mark, so that the wide
// functions keep every character; values are written in quotes, which the read removes
// again, so leading and trailing blanks survive.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "base/ansi_codepage.h"
#include "base/text_utf8.h"
#include "tools/orvella-host/ini_profile.h"
#include "tools/orvella-host/profile_answer.h"

namespace orvella::host {
namespace {

// What a read answers for a key that is not in the file.
constexpr wchar_t kAbsent[] = L"\x1F<absent>\x1F";

// The profile functions take a relative name as one in the Windows folder: make it whole.
std::wstring FullPath(const std::string& path) {
  const std::wstring wide = AnsiToWide(path);
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  full.resize(written);
  return full;
}

// Returns the value stored under section/key, or false when there is none.
bool ReadValue(const std::wstring& file, const std::wstring& section, const std::wstring& key,
               std::wstring& value) {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), kAbsent, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.c_str());
  value.assign(buffer.data(), n);
  return value != kAbsent;
}

bool WriteValue(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                const std::wstring& value) {
  std::error_code ec;
  const std::filesystem::path path(file);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (!std::filesystem::exists(path, ec)) {
    std::ofstream start(path, std::ios::binary);
    start.write("\xFF\xFE", 2);  // UTF-16LE: the wide functions then write wide text
  }
  const std::wstring quoted = L"\"" + value + L"\"";
  return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), quoted.c_str(), file.c_str()) !=
         FALSE;
}

// An integer as GLib's key file reads one: optional blanks and sign, digits, nothing else.
bool ParseInt(const std::wstring& text, int32_t& value) {
  wchar_t* end = nullptr;
  errno = 0;
  const long parsed = std::wcstol(text.c_str(), &end, 10);
  if (end == text.c_str() || errno != 0) return false;
  while (*end == L' ' || *end == L'\t') ++end;
  if (*end != L'\0') return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

}  // namespace

IniProfile::IniProfile(std::string path) : path_(std::move(path)), file_(nullptr) {}

IniProfile::~IniProfile() = default;

void IniProfile::Read(ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::wstring file = FullPath(path_);
  const std::wstring section = request.section ? request.section : L"";
  const std::wstring key = request.key ? request.key : L"";
  std::wstring stored;
  const bool present = ReadValue(file, section, key, stored);
  if (request.kind == kProfileInt) {
    int32_t value = static_cast<int32_t>(request.defaultValue);
    if (present) ParseInt(stored, value);
    request.value = static_cast<intptr_t>(static_cast<uint32_t>(value));
    return;
  }
  if (present) {
    lastText_ = stored;
  } else {
    const auto* def = reinterpret_cast<const wchar_t*>(request.defaultValue);
    lastText_ = def ? def : L"";
  }
  AnswerString(request, lastText_);
}

bool IniProfile::Write(const ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::wstring section = request.section ? request.section : L"";
  const std::wstring key = request.key ? request.key : L"";
  std::wstring value;
  if (request.kind == kProfileInt) {
    value = std::to_wstring(static_cast<int32_t>(static_cast<uint32_t>(request.value)));
  } else {
    const auto* text = reinterpret_cast<const wchar_t*>(request.value);
    value = text ? text : L"";
  }
  return WriteValue(FullPath(path_), section, key, value);
}

void IniProfile::SetInt(const std::string& section, const std::string& key, int value) {
  std::lock_guard<std::mutex> guard(mutex_);
  WriteValue(FullPath(path_), Utf8ToWide(section), Utf8ToWide(key), std::to_wstring(value));
}

void IniProfile::SetString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::lock_guard<std::mutex> guard(mutex_);
  WriteValue(FullPath(path_), Utf8ToWide(section), Utf8ToWide(key), Utf8ToWide(value));
}

bool IniProfile::Save() {
  std::lock_guard<std::mutex> guard(mutex_);
  // Every write went to the file already; this flushes the system's profile cache.
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, FullPath(path_).c_str());
  return true;
}

std::string DefaultProfilePath() {
  if (const char* set = std::getenv("ORVELLA_HOST_PROFILE"); set && *set) return set;
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) {
    return std::string(appData) + "\\orvella-host\\profile.ini";
  }
  return "profile.ini";
}

}  // namespace orvella::host
