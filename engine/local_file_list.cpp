// The list file of downloaded files: ReadLocalFileList and WriteLocalFileList.
#include <system_error>

#include "base/write_log.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"
#include "system/safe_files.h"

namespace orvella {

void COrvellaEngine::ReadLocalFileList() {
  const std::wstring folder = SnapshotSettings().imgFolder;
  // The folder is let go before the flags are cleared: a journal that still holds
  // changes the list lacks stays for the next read of that folder.
  if (!IsUsableImageFolder(folder)) {
    ReleaseFolder();
  } else if (folder != folder_ || !folderOwned_) {
    TakeFolderLock(folder);
  }
  modified = 0;
  downloading = 0;
  if (!IsUsableImageFolder(folder)) {
    // Never the host's current folder: no list is read from there or written to it.
    folder_.clear();
    ForgetListedFiles(files);
    WriteLog(L"ReadLocalFileList: file list not found");
    return;
  }
  LoadFolder(folder);
}

void COrvellaEngine::ReadListFile(const std::wstring& folder) {
  const std::wstring path = JoinFolder(folder, kListFileName);
  std::string bytes;
  switch (ReadRegularFile(FsPath(path), false, bytes, kMaxFolderRecordBytes)) {
    case ReadOutcome::kRead:
      break;
    case ReadOutcome::kTooLarge:
      // Taken as missing, the list is written anew at the next batch end: what it held
      // is fetched again or stays in the folder, and nothing is deleted for it.
      WriteLog(L"ReadLocalFileList: file list larger than %d MiB, taken as missing: %s",
               kMaxFolderRecordBytes >> 20, path);
      ForgetListedFiles(files);
      return;
    case ReadOutcome::kNotRegular:
      // A pipe would block the read for ever; a link could point anywhere.
      WriteLog(L"ReadLocalFileList: not a regular file, taken as missing: %s", path);
      [[fallthrough]];
    case ReadOutcome::kMissing:
      ForgetListedFiles(files);
      WriteLog(L"ReadLocalFileList: file list not found");
      return;
  }
  if (!DecodeListFile(bytes, files)) {
    WriteLog(L"ReadLocalFileList: wrong file header");
    return;
  }
  WriteLog(L"ReadLocalFileList: file list loaded (%d entries)", files.GetCount());
}

bool COrvellaEngine::WriteLocalFileList() {
  return WriteListIn(folder_.empty() ? SnapshotSettings().imgFolder : folder_);
}

bool COrvellaEngine::WriteListIn(const std::wstring& folder) {
  const std::wstring path = JoinFolder(folder, kListFileName);
  if (!IsUsableImageFolder(folder)) {
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  std::vector<std::wstring> refused;
  const std::string bytes = EncodeListFile(files, &refused);
  for (const std::wstring& url : refused)
    WriteLog(L"WriteLocalFileList: entry left out, it would not read back: %s", PrintableText(url));
  // The old list stays in place until the new one is completely on disk; the temporary
  // name is created afresh, never written through what stands there.
  const std::wstring temp = JoinFolder(folder, kListTempFileName);
  WorkFile file;
  const CreateOutcome created = CreateWorkFile(file, FsPath(temp));
  bool ok = created == CreateOutcome::kCreated && file.Write(bytes) && file.Flush();
  ok = file.Close() && ok;
  if (ok) ok = MoveReplacing(FsPath(temp), FsPath(path));
  if (!ok) {
    if (created == CreateOutcome::kCreated) RemoveRegularFile(FsPath(temp));
    if (created == CreateOutcome::kTaken)
      WriteLog(L"WriteLocalFileList: not a regular file, left alone: %s", temp);
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
    return false;
  }
  // The new name is on disk before the journal that it replaces goes.
  FlushFolder(FsPath(folder));
  if (journalWritten_ || IsNameTaken(folder, kJournalFileName)) {
    RemoveJournal(folder);
    journalCut_ = false;
  }
  return true;
}

}  // namespace orvella
