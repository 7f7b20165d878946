// The account store off Windows: one file per value under the user's XDG config folder,
// "${XDG_CONFIG_HOME:-$HOME/.config}/Halvenworks/OrvellaPlugin/TokenRVT" and so on.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/text_utf8.h"
#include "system/config_home.h"
#include "system/user_store.h"

namespace orvella {
namespace {

namespace fs = std::filesystem;

// Returns the folder of a key path, or an empty path when no config folder is known.
fs::path KeyFolder(const std::wstring& keyPath) {
  const fs::path base = UserConfigHome();
  if (base.empty()) return {};
  std::wstring rest = keyPath;
  const std::wstring prefix = L"Software\\";
  if (rest.compare(0, prefix.size(), prefix) == 0) rest.erase(0, prefix.size());
  fs::path folder = base;
  std::size_t start = 0;
  while (start <= rest.size()) {
    const std::size_t end = std::min(rest.find(L'\\', start), rest.size());
    const std::wstring part = rest.substr(start, end - start);
    if (part == L".." || part == L".") return {};  // a key path never leaves the store
    if (!part.empty()) folder /= WideToUtf8(part);
    start = end + 1;
  }
  return folder;
}

// A value name is one file name: no separators, no dot names.
bool UsableValueName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find(L'/') == std::wstring::npos &&
         name.find(L'\0') == std::wstring::npos;
}

// Creates `folder` and its missing parents with mode 0700.
bool MakeFolders(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return true;
  if (folder.has_parent_path() && folder.parent_path() != folder &&
      !MakeFolders(folder.parent_path())) {
    return false;
  }
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::wstring ReadRegString(RegRoot, const std::wstring& keyPath, const std::wstring& valueName) {
  const fs::path folder = KeyFolder(keyPath);
  if (folder.empty() || !UsableValueName(valueName)) return {};
  const int fd = ::open((folder / WideToUtf8(valueName)).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string data;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return {};
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
    if (data.size() > 8 * kRegValueMaxChars) break;  // far too long to be a value
  }
  ::close(fd);
  std::wstring text = Utf8ToWide(data);
  if (const std::size_t nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  if (text.size() > kRegValueMaxChars) return {};
  return text;
}

bool WriteRegString(RegRoot, const std::wstring& keyPath, const std::wstring& valueName,
                    const std::wstring& text) {
  const fs::path folder = KeyFolder(keyPath);
  if (folder.empty() || !UsableValueName(valueName) || !MakeFolders(folder)) return false;
  const fs::path target = folder / WideToUtf8(valueName);
  fs::path temp = target;
  temp += ".tmp-XXXXXX";
  std::string tempName = temp.string();
  const int fd = ::mkstemp(tempName.data());  // mode 0600
  if (fd < 0) return false;
  const bool written = WriteAll(fd, WideToUtf8(text)) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(tempName.c_str(), target.c_str()) != 0) {
    ::unlink(tempName.c_str());
    return false;
  }
  return true;
}

}  // namespace orvella
