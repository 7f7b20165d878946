// The reference host's profile on Windows: an INI file read and written with the Win32
// profile functions. The file is started with a UTF-16 byte order mark, so that the wide
// functions keep every character; values are written in quotes, which the read removes
// again, so leading and trailing blanks survive. Writes wait in memory until Save(),
// which applies them to a copy of the file and moves the copy over it in one step.
#include "tools/orvella-host/ini_profile.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "base/ansi_codepage.h"
#include "base/error_text.h"
#include "base/text_utf8.h"
#include "tools/orvella-host/ini_text.h"
#include "tools/orvella-host/profile_answer.h"
#include "tools/orvella-host/profile_limits.h"

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

std::string ErrorText(DWORD code) {
  return WideToAnsi(SystemErrorText(static_cast<int32_t>(code)));
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

template <class Pending>
const std::wstring* FindPending(const Pending& pending, const std::wstring& section,
                                const std::wstring& key) {
  for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
    if (it->section == section && it->key == key) return &it->value;
  }
  return nullptr;
}

// Writes every pending value into a copy of `file` and moves the copy over it.
template <class Pending>
std::string ApplyAtomically(const std::wstring& file, const Pending& pending) {
  const std::filesystem::path path(file);
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  const std::wstring temp = file + L".new";
  ::DeleteFileW(temp.c_str());
  if (std::filesystem::exists(path, ec)) {
    if (!::CopyFileW(file.c_str(), temp.c_str(), FALSE)) {
      return "cannot create a file beside it: " + ErrorText(::GetLastError());
    }
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  } else {
    std::ofstream start(std::filesystem::path(temp), std::ios::binary);
    start.write("\xFF\xFE", 2);  // UTF-16LE: the wide functions then write wide text
    if (!start) return "cannot create a file beside it";
  }
  for (const auto& entry : pending) {
    const std::wstring quoted = L"\"" + entry.value + L"\"";
    if (!::WritePrivateProfileStringW(entry.section.c_str(), entry.key.c_str(), quoted.c_str(),
                                      temp.c_str())) {
      const DWORD error = ::GetLastError();
      ::DeleteFileW(temp.c_str());
      return "cannot write: " + ErrorText(error);
    }
  }
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, temp.c_str());  // flush the cache
  if (!::MoveFileExW(temp.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    return "cannot replace it: " + ErrorText(error);
  }
  return "";
}

}  // namespace

IniProfile::IniProfile(std::string path) : path_(std::move(path)), file_(nullptr) {}

IniProfile::~IniProfile() = default;

bool IniProfile::Load(std::string& error) {
  std::lock_guard<std::mutex> guard(mutex_);
  loaded_ = false;
  // The profile functions read the file themselves; this read only makes sure that what
  // they will read is a regular file of a profile's size.
  std::string bytes;
  error = ReadProfileFile(std::filesystem::path(FullPath(path_)), path_, bytes, existed_);
  if (!error.empty()) return false;
  loaded_ = true;
  return true;
}

void IniProfile::Read(ProfileRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::wstring section = request.section ? request.section : L"";
  const std::wstring key = request.key ? request.key : L"";
  std::wstring stored;
  bool present = false;
  if (const std::wstring* pending = FindPending(pending_, section, key)) {
    stored = *pending;
    present = true;
  } else {
    present = ReadValue(FullPath(path_), section, key, stored);
  }
  if (request.kind == kProfileInt) {
    int32_t value = static_cast<int32_t>(request.defaultValue);
    if (present && !ParseInt(stored, value) && problem_.empty()) {
      problem_ = AtLine(path_, 0, "the value of " + WideToUtf8(key) + " is not a whole number");
    }
    if (std::string bounded = BoundFeedCount(path_, section, key, value);
        !bounded.empty() && notice_.empty()) {
      notice_ = std::move(bounded);
    }
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

void IniProfile::Set(const std::string& section, const std::string& key, const std::string& value) {
  const std::wstring wideSection = Utf8ToWide(section);
  const std::wstring wideKey = Utf8ToWide(key);
  const std::wstring wideValue = Utf8ToWide(value);
  std::wstring stored;
  const std::wstring* pending = FindPending(pending_, wideSection, wideKey);
  const bool present =
      pending != nullptr || ReadValue(FullPath(path_), wideSection, wideKey, stored);
  if (present && (pending ? *pending : stored) == wideValue) return;
  pending_.push_back({wideSection, wideKey, wideValue});
  changed_ = true;
}

bool IniProfile::Save(std::string& error) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!loaded_) {
    error = AtLine(path_, 0, "not saved: the profile was not read");
    return false;
  }
  if (!changed_) return true;
  const std::wstring file = FullPath(path_);
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = AtLine(path_, 0, "the file is read-only; not changed");
    return false;
  }
  const std::string failure = ApplyAtomically(file, pending_);
  if (!failure.empty()) {
    error = AtLine(path_, 0, failure);
    return false;
  }
  pending_.clear();
  changed_ = false;
  existed_ = true;
  return true;
}

std::string IniProfile::problem() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return problem_;
}

std::string IniProfile::notice() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return notice_;
}

std::string DefaultProfilePath() {
  if (const char* set = std::getenv("ORVELLA_HOST_PROFILE"); set && *set) return set;
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) {
    return std::string(appData) + "\\orvella-host\\profile.ini";
  }
  return "profile.ini";
}

}  // namespace orvella::host
