// The profile read with the plug-in's file rules, and its feed count bounded.
#include "tools/orvella-host/profile_limits.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/text_utf8.h"
#include "host/host_profile.h"
#include "model/orvella_model.h"
#include "system/safe_files.h"
#include "tools/orvella-host/ini_dialect.h"
#include "tools/orvella-host/ini_text.h"

namespace orvella::host {

std::string ReadProfileFile(const std::filesystem::path& file, const std::string& shownAs,
                            std::string& bytes, bool& found) {
  found = true;
  errno = 0;
  switch (ReadRegularFile(file, true, bytes, kMaxProfileBytes)) {
    case ReadOutcome::kRead:
      return "";
    case ReadOutcome::kTooLarge:
      return AtLine(shownAs, 0,
                    "is larger than " + std::to_string(kMaxProfileBytes >> 20) +
                        " MiB: not a profile; nothing was read");
    case ReadOutcome::kNotRegular: {
      std::error_code ec;
      return AtLine(shownAs, 0,
                    std::filesystem::is_directory(file, ec)
                        ? "is a folder, not a profile file"
                        : "is not a regular file (a pipe or a device?): it is not read");
    }
    case ReadOutcome::kMissing:
      break;
  }
  const int reason = errno;
  std::error_code ec;
  // Nothing there, or a link to nothing: the defaults, and a save creates the file.
  if (!std::filesystem::exists(file, ec) && !ec) {
    found = false;
    return "";
  }
  return AtLine(shownAs, 0,
                std::string("cannot read it: ") +
                    (reason != 0 ? std::strerror(reason) : "it cannot be opened"));
}

std::string BoundFeedCount(const std::string& path, const std::wstring& section,
                           const std::wstring& key, int32_t& value) {
  if (value <= kMaxFeeds || !SameIniName(WideToUtf8(key), "nFeeds") ||
      !SameIniName(WideToUtf8(section), WideToUtf8(kProfileSection))) {
    return "";
  }
  const std::string line =
      AtLine(path, 0,
             "nFeeds is " + std::to_string(value) + "; the first " + std::to_string(kMaxFeeds) +
                 " feeds are read and the rest is ignored");
  value = kMaxFeeds;
  return line;
}

}  // namespace orvella::host
