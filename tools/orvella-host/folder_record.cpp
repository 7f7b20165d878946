// The image folder's record read for orvella-host's sync report, as the plug-in reads it.
#include "tools/orvella-host/folder_record.h"

#include <filesystem>
#include <vector>

#include "base/path_text.h"
#include "engine/list_file_text.h"
#include "engine/list_journal.h"
#include "engine/local_names.h"
#include "model/file_map.h"
#include "system/safe_files.h"
#include "tools/orvella-host/folder_probe.h"

namespace orvella::host {
namespace {

// Reads one of the plug-in's files as the plug-in does: a regular file only, never
// through a link, and no larger than the plug-in reads. Returns "" when `bytes` holds it or nothing
// stands there (`found` false), else why it was not read.
std::string ReadRecordFile(const std::wstring& path, std::string& bytes, bool& found) {
  found = true;
  switch (ReadRegularFile(FsPath(path), false, bytes, kMaxFolderRecordBytes)) {
    case ReadOutcome::kRead:
      return "";
    case ReadOutcome::kTooLarge:
      return "it is larger than " + std::to_string(kMaxFolderRecordBytes >> 20) + " MiB";
    case ReadOutcome::kNotRegular:
      return "it is not a regular file";
    case ReadOutcome::kMissing:
      break;
  }
  // A regular file that cannot be opened (no right to read it) is not a missing one.
  if (KindOf(FsPath(path)) == EntryKind::kRegular) return "it cannot be opened";
  found = false;
  return "";
}

}  // namespace

FolderRecord ReadFolderRecord(const std::wstring& folder) {
  FolderRecord record;
  CFileMap files;
  std::string bytes;
  bool found = false;
  record.listProblem = ReadRecordFile(JoinFolder(folder, kListFileName), bytes, found);
  if (record.listProblem.empty() && found && !DecodeListFile(bytes, files)) {
    record.listProblem = "its first line is not the list's header";
  }
  // The journal holds what a crashed run did after its last list write; the plug-in
  // applies it, to whatever list it could read, at its next start.
  std::string journal;
  if (ReadRecordFile(JoinFolder(folder, kJournalFileName), journal, found).empty() && found) {
    bool cut = false;
    const std::vector<JournalEntry> entries = DecodeJournal(journal, cut);
    ApplyJournal(
        entries, [&folder](const std::wstring& name) { return IsNameTaken(folder, name); }, files);
    record.journalEntries = entries.size();
  }
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
