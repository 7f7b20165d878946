// What orvella-host reads of a profile, whatever stands at its name: a regular file of a
// bounded size, and no more feeds than the plug-in keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace orvella::host {

/// Largest profile read. One of kMaxFeeds feeds whose tags have the longest length the
/// plug-in reads (1023 characters of up to three UTF-8 bytes) takes about 3.2 MB with its
/// keys; a file far larger is no profile (a log named by mistake, a link to /dev/zero).
inline constexpr std::size_t kMaxProfileBytes = std::size_t{16} << 20;

/// Reads the profile `file` into `bytes` as the plug-in reads its own files: only a
/// regular file (a link to one is followed), never blocking on a pipe or a device, at
/// most kMaxProfileBytes. Returns "" with `found` false when nothing is there (or a
/// dangling link), "" with `found` true and the bytes when it was read, else why it was
/// not read (a folder, a pipe or device, too large, no right to read it), as "SHOWNAS:
/// reason". Any thread.
std::string ReadProfileFile(const std::filesystem::path& file, const std::string& shownAs,
                            std::string& bytes, bool& found);

/// Lowers a feed count read from `section`/`key` to kMaxFeeds when it is "nFeeds" of the
/// plug-in's section (names compared without letter case) and larger. Returns the line
/// saying so for the profile at `path` ("" when nothing was lowered). Any thread.
std::string BoundFeedCount(const std::string& path, const std::wstring& section,
                           const std::wstring& key, int32_t& value);

}  // namespace orvella::host
