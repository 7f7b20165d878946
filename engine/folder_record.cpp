// LoadFolderRecord: the list file and the journal beside it read as the plug-in loads
// them, without changing anything on disk.
#include <algorithm>
#include <string>

#include "base/path_text.h"
#include "engine/content_digest.h"
#include "engine/image_folder.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

// The content digest of the plain file at `name` when it holds exactly `size` bytes; "".
std::string FileDigest(const FolderHandle& folder, const std::wstring& name, uint64_t size) {
  std::string bytes;
  if (size > kMaxFolderRecordBytes ||
      folder.Read(name, bytes, static_cast<std::size_t>(size), false) != ReadOutcome::kRead ||
      bytes.size() != size) {
    return {};
  }
  return ContentDigest::Of(bytes.data(), bytes.size());
}

ListFileState ReadList(const FolderHandle& folder, CFileMap& files,
                       const std::atomic<int32_t>* stop, bool& stopped) {
  std::string bytes;
  ListFileState state = ListFileState::kLoaded;
  switch (folder.Read(kListFileName, bytes, kMaxFolderRecordBytes, false)) {
    case ReadOutcome::kRead:
      return DecodeListFile(bytes, files, stop, &stopped) ? ListFileState::kLoaded
                                                          : ListFileState::kWrongHeader;
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
      // A regular file that cannot be opened (no right to read it) is not a missing one.
      state = folder.Look(kListFileName).kind == EntryKind::kRegular ? ListFileState::kUnreadable
                                                                     : ListFileState::kMissing;
      break;
  }
  ForgetListedFiles(files);
  return state;
}

void ReadJournal(const FolderHandle& folder, CFileMap& files, const std::atomic<int32_t>* stop,
                 FolderRecordState& state) {
  std::string bytes;
  switch (folder.Read(kJournalFileName, bytes, kMaxFolderRecordBytes, true)) {
    case ReadOutcome::kRead:
      break;
    case ReadOutcome::kTooLarge:
      state.journal = JournalState::kTooLarge;
      return;
    case ReadOutcome::kNotRegular:
      state.journal = JournalState::kNotOurs;
      return;
    case ReadOutcome::kMissing:
      state.journal = folder.Look(kJournalFileName).kind == EntryKind::kRegular
                          ? JournalState::kUnreadable
                          : JournalState::kNone;
      return;
  }
  const JournalFolderView view{[&folder](const std::wstring& name) { return folder.Look(name); },
                               [&folder](const std::wstring& name, uint64_t size) {
                                 return FileDigest(folder, name, size);
                               }};
  state.replay = ReplayJournal(bytes, view, files, stop);
  state.journal = JournalState::kReplayed;
  state.stopped = state.replay.stopped;
}

}  // namespace

FolderRecordState LoadFolderRecord(const FolderHandle& folder, CFileMap& files,
                                   const std::atomic<int32_t>* stop) {
  FolderRecordState state;
  state.list = ReadList(folder, files, stop, state.stopped);
  if (state.stopped) return state;
  // The journal holds what a crashed run did after its last list write: it is applied to
  // whatever list could be read.
  ReadJournal(folder, files, stop, state);
  const EntryInfo temp = folder.Look(kListTempFileName);
  state.listTempLeft = temp.kind == EntryKind::kRegular && temp.links == 1 && temp.ownedByUs;
  return state;
}

FolderRecordState LoadFolderRecord(const std::wstring& folder, CFileMap& files) {
  FolderHandle handle;
  FolderRecordState state;
  std::wstring problem;
  if (!handle.Open(FsPath(folder), problem)) {  // nothing to read: no records
    ForgetListedFiles(files);
    return state;
  }
  return LoadFolderRecord(handle, files);
}

}  // namespace orvella
