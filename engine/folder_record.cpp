// LoadFolderRecord: the list file and the journal beside it read as the plug-in loads
// them, without changing anything on disk.
#include <string>

#include "engine/image_folder.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

// Reads one of the plug-in's record files: a regular file only, never through a link,
// and no larger than kMaxFolderRecordBytes. A regular file that cannot be opened (no
// right to read it) is told apart from a missing one.
ReadOutcome ReadRecordFile(const std::wstring& path, std::string& bytes, bool& unreadable) {
  const ReadOutcome read = ReadRegularFile(FsPath(path), false, bytes, kMaxFolderRecordBytes);
  unreadable = read == ReadOutcome::kMissing && KindOf(FsPath(path)) == EntryKind::kRegular;
  return read;
}

ListFileState ReadList(const std::wstring& folder, CFileMap& files) {
  std::string bytes;
  bool unreadable = false;
  ListFileState state = ListFileState::kLoaded;
  switch (ReadRecordFile(JoinFolder(folder, kListFileName), bytes, unreadable)) {
    case ReadOutcome::kRead:
      return DecodeListFile(bytes, files) ? ListFileState::kLoaded : ListFileState::kWrongHeader;
    case ReadOutcome::kTooLarge:
      // Taken as missing, the list is written anew at the next batch end: what it held is
      // fetched again or stays in the folder, and nothing is deleted for it.
      state = ListFileState::kTooLarge;
      break;
    case ReadOutcome::kNotRegular:
      // A pipe would block the read for ever; a link could point anywhere.
      state = ListFileState::kNotRegular;
      break;
    case ReadOutcome::kMissing:
      state = unreadable ? ListFileState::kUnreadable : ListFileState::kMissing;
      break;
  }
  ForgetListedFiles(files);
  return state;
}

void ReplayJournal(const std::wstring& folder, CFileMap& files, FolderRecordState& state) {
  std::string bytes;
  bool unreadable = false;
  switch (ReadRecordFile(JoinFolder(folder, kJournalFileName), bytes, unreadable)) {
    case ReadOutcome::kRead:
      break;
    case ReadOutcome::kTooLarge:
      state.journal = JournalState::kTooLarge;
      return;
    case ReadOutcome::kNotRegular:
      state.journal = JournalState::kNotRegular;
      return;
    case ReadOutcome::kMissing:
      state.journal = unreadable ? JournalState::kUnreadable : JournalState::kNone;
      return;
  }
  const std::vector<JournalEntry> entries = DecodeJournal(bytes, state.journalCut);
  state.begun = ApplyJournal(
      entries, [&folder](const std::wstring& name) { return IsNameTaken(folder, name); }, files);
  state.journal = JournalState::kReplayed;
  state.journalEntries = entries.size();
}

}  // namespace

FolderRecordState LoadFolderRecord(const std::wstring& folder, CFileMap& files) {
  FolderRecordState state;
  state.list = ReadList(folder, files);
  // The journal holds what a crashed run did after its last list write: it is applied to
  // whatever list could be read.
  ReplayJournal(folder, files, state);
  state.listTempLeft = KindOf(FsPath(JoinFolder(folder, kListTempFileName))) == EntryKind::kRegular;
  return state;
}

}  // namespace orvella
