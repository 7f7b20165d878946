// The account store off Windows: one file per value under the user's XDG config folder,
// "${XDG_CONFIG_HOME:-$HOME/.config}/Halvenworks/OrvellaPlugin/TokenRVT" and so on.
#include "system/user_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/error_text.h"
#include "base/text_utf8.h"
#include "system/config_home.h"
#include "system/safe_files.h"

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

// Creates `folder` and its missing parents with mode 0700. Returns 0, or the error of
// the folder that could not be made.
int MakeFolders(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return 0;
  if (folder.has_parent_path() && folder.parent_path() != folder) {
    if (const int error = MakeFolders(folder.parent_path()); error != 0) return error;
  }
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return 0;
  return errno;
}

// Sets `reason`, when given, to what failed and the system's text for `error`. Returns
// false, the result of the write that failed.
bool Failed(std::wstring* reason, const std::string& what, int error) {
  if (reason != nullptr) *reason = Utf8ToWide(what) + L": " + SystemErrorText(error);
  return false;
}

// No value of at most 511 UTF-16 units takes more UTF-8 bytes than this.
constexpr std::size_t kMaxValueBytes = 3 * kRegValueMaxChars;

// Length in UTF-16 units, as the registry stores text: characters beyond U+FFFF take two.
std::size_t Utf16Length(const std::wstring& text) {
  std::size_t units = 0;
  for (const wchar_t c : text) units += static_cast<char32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

// Writes all of `data`. Returns 0, or the error of the write that failed (a write that
// takes nothing counts as a full disk).
int WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

std::wstring ReadRegString(RegRoot, const std::wstring& keyPath, const std::wstring& valueName) {
  const fs::path folder = KeyFolder(keyPath);
  if (folder.empty() || !UsableValueName(valueName)) return {};
  // A value is a regular file; anything else (a pipe would block the read for ever) is
  // no value. A link to a regular file is followed: configuration folders are often
  // kept elsewhere and linked in.
  std::string data;
  if (ReadRegularFile(folder / WideToUtf8(valueName), true, data, kMaxValueBytes) !=
          ReadOutcome::kRead ||
      data.size() > kMaxValueBytes) {
    return {};
  }
  std::wstring text = Utf8ToWide(data);
  // The whole stored text counts, as the registry's read buffer takes it whole.
  if (Utf16Length(text) > kRegValueMaxChars) return {};
  if (const std::size_t nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return text;
}

bool WriteRegString(RegRoot, const std::wstring& keyPath, const std::wstring& valueName,
                    const std::wstring& text, std::wstring* reason) {
  const fs::path folder = KeyFolder(keyPath);
  if (folder.empty()) return Failed(reason, "no configuration folder (HOME is not set)", ENOENT);
  if (!UsableValueName(valueName)) return Failed(reason, "not a value name", EINVAL);
  if (const int error = MakeFolders(folder); error != 0)
    return Failed(reason, "cannot create the folder " + folder.string(), error);
  const fs::path target = folder / WideToUtf8(valueName);
  fs::path temp = target;
  temp += ".tmp-XXXXXX";
  std::string tempName = temp.string();
  const int fd = ::mkstemp(tempName.data());  // mode 0600
  if (fd < 0) {
    const int error = errno;  // before anything else may set it
    return Failed(reason, "cannot create a file in " + folder.string(), error);
  }
  int error = WriteAll(fd, WideToUtf8(text));
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(tempName.c_str());
    return Failed(reason, "cannot write " + tempName, error);
  }
  if (::rename(tempName.c_str(), target.c_str()) != 0) {
    error = errno;
    ::unlink(tempName.c_str());
    return Failed(reason, "cannot replace " + target.string(), error);
  }
  return true;
}

}  // namespace orvella
