// BuildLocalName: an item's URL turned into a file name of the image folder.
#include <fstream>
#include <system_error>

#include "base/write_log.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"
#include "net/url_parse.h"

namespace orvella {
namespace {

// The bare name: the object part after its last '/' (the query is searched as well),
// cut at the first '?'.
std::wstring BareName(const std::wstring& object) {
  const std::size_t slash = object.rfind(L'/');
  std::wstring name = slash == std::wstring::npos ? object : object.substr(slash + 1);
  const std::size_t question = name.find(L'?');
  if (question != std::wstring::npos) name.erase(question);
  return name;
}

// Creating the file is the only reliable test that the file system accepts the name.
bool CanCreate(const std::wstring& path) {
  const std::filesystem::path file = FsPath(path);
  {
    std::ofstream probe(file, std::ios::binary);
    if (!probe.is_open()) return false;
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return true;
}

}  // namespace

bool COrvellaEngine::BuildLocalName(const std::wstring& url, std::wstring& path,
                                    std::wstring& name) {
  return BuildLocalNameIn(SnapshotSettings().imgFolder, url, path, name);
}

bool COrvellaEngine::BuildLocalNameIn(const std::wstring& folder, const std::wstring& url,
                                      std::wstring& path, std::wstring& name) {
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed)) {
    WriteLog(L"BuildLocalName(): Url can't be parsed: %s", url);
    return false;
  }
  const std::wstring bare = BareName(parsed.object);
  const std::wstring full = JoinFolder(folder, bare);
  // An empty name leaves the folder itself, which exists: reported as existing below.
  if (!bare.empty() && !IsUsableLocalName(bare)) {
    WriteLog(L"BuildLocalName(): Object name can't be used for local file: %s", full);
    return false;
  }
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(FsPath(full), ec))) {
    path = full;
    name = bare;
    WriteLog(L"File already exits: %s", full);
    return false;
  }
  if (!CanCreate(full)) {
    WriteLog(L"BuildLocalName(): Object name can't be used for local file: %s", full);
    return false;
  }
  path = full;
  name = bare;
  return true;
}

}  // namespace orvella
