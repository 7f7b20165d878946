// Temporary folders and a private account store on Windows: the current user's registry
// is redirected to a fresh key for the lifetime of a ScopedConfigHome.
#include "tests/support/temp_dir.h"

#include <windows.h>

#include <random>
#include <sstream>
#include <stdexcept>

namespace orvella::test {
namespace {

std::wstring RandomSuffix() {
  std::random_device device;
  std::wostringstream text;
  text << ::GetCurrentProcessId() << L'-' << std::hex << device() << device();
  return text.str();
}

}  // namespace

TempDir::TempDir() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / (L"orvella-test-" + RandomSuffix());
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(path_, ec);
}

Planted PlantLink(const std::filesystem::path& at, const std::filesystem::path& target) {
  // Creating links needs a right ordinary users lack unless developer mode is on.
  if (!::CreateSymbolicLinkW(at.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    return Planted::kNone;
  }
  // Wine makes a Unix link, and reports it as what it points to, not as a reparse point.
  const DWORD attributes = ::GetFileAttributesW(at.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
             ? Planted::kLink
             : Planted::kHidden;
}

bool PlantPipe(const std::filesystem::path&) {
  return false;  // named pipes live under \\.\pipe\, never in a folder
}

// old_ holds the name of the key HKEY_CURRENT_USER stands for meanwhile.
ScopedConfigHome::ScopedConfigHome() {
  const std::wstring key = L"Software\\OrvellaTests\\" + RandomSuffix();
  HKEY scratch = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &scratch, nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create a scratch registry key");
  }
  const LSTATUS status = ::RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
  ::RegCloseKey(scratch);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
  old_ = std::filesystem::path(key).string();
  hadOld_ = true;
}

ScopedConfigHome::~ScopedConfigHome() {
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  if (!hadOld_) return;
  ::RegDeleteTreeW(HKEY_CURRENT_USER, std::filesystem::path(old_).c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, std::filesystem::path(old_).c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\OrvellaTests");  // only when empty
}

}  // namespace orvella::test
