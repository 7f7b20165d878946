// BuildLocalName: an item's URL turned into a file name of the image folder.
#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"
#include "system/safe_files.h"

namespace orvella {
namespace {

// Creating the file is the only reliable test that the file system accepts the name. It
// is created only where nothing stands, so nothing is ever written through a link.
CreateOutcome ProbeCreate(const std::wstring& path) {
  WorkFile probe;
  const CreateOutcome outcome = probe.CreateNew(FsPath(path));
  if (outcome == CreateOutcome::kCreated) {
    probe.Close();
    RemoveRegularFile(FsPath(path));
  }
  return outcome;
}

}  // namespace

bool COrvellaEngine::BuildLocalName(const std::wstring& url, std::wstring& path,
                                    std::wstring& name) {
  return FreeLocalName(SnapshotSettings().ImgFolder, url, path, name) && ProbeLocalName(path);
}

bool COrvellaEngine::FreeLocalName(const std::wstring& folder, const std::wstring& url,
                                   std::wstring& path, std::wstring& name) {
  std::wstring bare;
  if (!BareNameOfUrl(url, bare)) {
    WriteLog(L"BuildLocalName(): Url can't be parsed: %s", url);
    return false;
  }
  const std::wstring full = JoinFolder(folder, bare);
  // An empty name leaves the folder itself, which exists: reported as existing below.
  if (!bare.empty() && !IsUsableLocalName(bare)) {
    WriteLog(L"BuildLocalName(): Object name can't be used for local file: %s", full);
    return false;
  }
  path = full;
  name = bare;
  if (KindOf(FsPath(full)) != EntryKind::kNone) {
    WriteLog(L"File already exits: %s", full);
    return false;
  }
  return true;
}

bool COrvellaEngine::ProbeLocalName(const std::wstring& path) {
  switch (ProbeCreate(path)) {
    case CreateOutcome::kCreated:
      return true;
    case CreateOutcome::kTaken:  // taken since it was looked at
      WriteLog(L"File already exits: %s", path);
      return false;
    case CreateOutcome::kFailed:
      break;
  }
  WriteLog(L"BuildLocalName(): Object name can't be used for local file: %s", path);
  return false;
}

}  // namespace orvella
