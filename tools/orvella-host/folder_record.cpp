// The image folder's record read for orvella-host's sync report, as the plug-in reads it.
#include "tools/orvella-host/folder_record.h"

#include <filesystem>
#include <vector>

#include "base/path_text.h"
#include "engine/image_folder.h"
#include "tools/orvella-host/folder_probe.h"

namespace orvella::host {
namespace {

// Why the plug-in would not use the list file, "" when it would or there is none.
std::string ListProblem(ListFileState state) {
  switch (state) {
    case ListFileState::kLoaded:
    case ListFileState::kMissing:
      return "";
    case ListFileState::kUnreadable:
      return "it cannot be opened";
    case ListFileState::kNotRegular:
      return "it is not a regular file";
    case ListFileState::kTooLarge:
      return "it is larger than " + std::to_string(kMaxFolderRecordBytes >> 20) + " MiB";
    case ListFileState::kWrongHeader:
      return "its first line is not the list's header";
  }
  return "";
}

}  // namespace

FolderRecord ReadFolderRecord(const std::wstring& folder) {
  FolderRecord record;
  CFileMap files;
  const FolderRecordState state = LoadFolderRecord(folder, files);
  record.listProblem = ListProblem(state.list);
  record.journalEntries = state.replay.entries;
  for (CFileData& file : files) {
    if (IsNameTaken(folder, file.localName))
      record.files.emplace(file.url, std::move(file.localName));
  }
  return record;
}

std::string FolderWriteProblem(const std::wstring& folder) {
  const std::filesystem::path path = FsPath(folder);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return "it does not exist";
  if (!std::filesystem::is_directory(path, ec)) return "it is not a folder";
  // Trying is the one test that holds for permissions, access lists, read-only mounts
  // and a full disk alike.
  const std::string problem = WriteProbeProblem(path);
  return problem.empty() ? "" : "a file cannot be created in it: " + problem;
}

}  // namespace orvella::host
