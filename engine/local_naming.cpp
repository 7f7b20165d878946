// BuildLocalName: an item's URL turned into a free, creatable file name of the image
// folder.
#include "base/path_text.h"
#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {

bool COrvellaEngine::BuildLocalName(const std::wstring& url, std::wstring& path,
                                    std::wstring& name) {
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed)) {
    WriteLog(L"BuildLocalName(): Url can't be parsed: %s", url);
    return false;
  }
  return BuildLocalName(parsed, SnapshotSettings().ImgFolder, path, name);
}

bool COrvellaEngine::BuildLocalName(const ParsedUrl& parsed, const std::wstring& folder,
                                    std::wstring& path, std::wstring& name, WorkFile* keep) {
  const std::wstring bare = BareNameOf(parsed);
  const std::wstring full = JoinFolder(folder, bare);
  // An empty name leaves the folder itself, which exists: reported as existing below.
  if (!bare.empty() && !IsUsableLocalName(bare)) {
    WriteLog(L"BuildLocalName(): Object name can't be used for local file: %s", full);
    return false;
  }
  path = full;
  name = bare;
  // A download's name is proved in the folder its batch opened, even once the path names
  // another folder; a look alone, in the folder the path names now.
  FolderHandle own;
  std::wstring problem;
  const FolderHandle* handle = &imageFolder.Handle();
  if (keep == nullptr && !imageFolder.OpenedAt(folder))
    handle = own.Open(FsPath(folder), problem) ? &own : nullptr;
  if (bare.empty() || (handle != nullptr && handle->Look(bare).kind != EntryKind::kNone)) {
    WriteLog(L"File already exits: %s", full);
    return false;
  }
  // Creating the file is the only reliable test that the file system accepts the name. It
  // is created only where nothing stands, so nothing is ever written through a link.
  WorkFile probe;
  const CreateOutcome outcome =
      handle != nullptr ? handle->CreateExclusive(bare, probe, &problem) : CreateOutcome::kFailed;
  switch (outcome) {
    case CreateOutcome::kCreated:
      if (keep != nullptr) {
        keep->Swap(probe);
        return true;
      }
      probe.Close();
      handle->Remove(bare, RemoveRule::kOwnFile);
      return true;
    case CreateOutcome::kTaken:  // taken since it was looked at
      WriteLog(L"File already exits: %s", full);
      return false;
    case CreateOutcome::kFailed:
      break;
  }
  WriteLog(L"BuildLocalName(): Object name can't be used for local file: %s", full);
  return false;
}

}  // namespace orvella
