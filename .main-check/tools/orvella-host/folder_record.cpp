// The list file read for orvella-host's sync report.
#include "tools/orvella-host/folder_record.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/path_text.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella::host {

FolderRecord ReadFolderRecord(const std::wstring& folder) {
  FolderRecord record;
  const std::filesystem::path list = FsPath(JoinFolder(folder, kListFileName));
  std::error_code ec;
  if (!std::filesystem::exists(list, ec)) return record;
  std::ifstream in(list, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  ListFileLines lines(text);
  std::wstring line;
  if (!in.is_open() || !lines.Next(line) || line != kListFileHeader) {
    record.listReadable = false;
    return record;
  }
  const int32_t count = lines.Next(line) ? ParseListCount(line) : 0;
  std::wstring url;
  std::wstring name;
  for (int32_t i = 0; i < count && lines.Next(url) && lines.Next(name); ++i) {
    if (url.empty() || !IsUsableLocalName(name)) continue;
    if (std::filesystem::is_regular_file(FsPath(JoinFolder(folder, name)), ec)) {
      record.files[url] = name;
    }
  }
  return record;
}

SyncCounts CountChanges(const FolderRecord& before, const FolderRecord& after, int offered) {
  SyncCounts counts;
  for (const auto& [url, name] : after.files) {
    (before.files.count(url) != 0 ? counts.present : counts.added) += 1;
  }
  for (const auto& [url, name] : before.files) counts.removed += after.files.count(url) == 0;
  counts.failed = std::max(0, offered - counts.present - counts.added);
  return counts;
}

std::string FolderWriteProblem(const std::wstring& folder) {
  const std::filesystem::path path = FsPath(folder);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return "it does not exist";
  if (!std::filesystem::is_directory(path, ec)) return "it is not a folder";
  // Trying is the one test that holds for permissions, access lists, read-only mounts
  // and a full disk alike.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path probe = path / (".orvella-host-probe-" + std::to_string(attempt));
    if (std::filesystem::exists(std::filesystem::symlink_status(probe, ec))) continue;
    errno = 0;
    std::ofstream out(probe, std::ios::binary);
    const bool created = out.is_open() && (out << "probe").flush();
    const int error = errno;
    out.close();
    std::filesystem::remove(probe, ec);
    if (created) return "";
    return std::string("a file cannot be created in it") +
           (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
  }
  return "";
}

}  // namespace orvella::host
