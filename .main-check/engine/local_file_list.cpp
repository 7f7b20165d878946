// The list file of downloaded files: ReadLocalFileList and WriteLocalFileList.
#include <climits>
#include <fstream>
#include <system_error>

#include "base/write_log.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"
#include "engine/orvella_engine.h"

namespace orvella {
namespace {

// Hash buckets when there is no list file, or when its count cannot size the table.
constexpr std::size_t kDefaultBuckets = 2523;
// Counts above this are not believed for sizing: the table still grows as entries come.
constexpr int32_t kMaxPresizedEntries = 1 << 20;

std::size_t BucketsFor(int32_t count) {
  if (count < 0 || count > kMaxPresizedEntries) return kDefaultBuckets;
  return 2 * static_cast<std::size_t>(count) + 1;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in.is_open()) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  bytes.resize(static_cast<std::size_t>(size));
  in.seekg(0);
  in.read(bytes.data(), size);
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

bool WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  const bool written = static_cast<bool>(out);
  out.close();
  return written && !out.fail();
}

}  // namespace

void COrvellaEngine::ReadLocalFileList() {
  modified = 0;
  downloading = 0;
  files.clear();
  const std::wstring path = JoinFolder(SnapshotSettings().imgFolder, kListFileName);
  std::string bytes;
  if (!ReadWholeFile(FsPath(path), bytes)) {
    files.rehash(kDefaultBuckets);
    WriteLog(L"ReadLocalFileList: file list not found");
    return;
  }
  ListFileLines lines(bytes);
  std::wstring line;
  if (!lines.Next(line) || line != kListFileHeader) {
    WriteLog(L"ReadLocalFileList: wrong file header");
    return;
  }
  const int32_t count = lines.Next(line) ? ParseListCount(line) : 0;
  files.rehash(BucketsFor(count));
  std::wstring url;
  std::wstring name;
  for (int32_t i = 0; i < count; ++i) {
    if (!lines.Next(url) || !lines.Next(name)) break;
    if (url.empty()) continue;
    // A name that is not a plain file of the folder would later be deleted as an unused
    // file: an edited or damaged list must never reach outside the image folder.
    if (!IsUsableLocalName(name)) continue;
    files.insert_or_assign(url, CFileData{std::move(name), url, {}, 0});
  }
  WriteLog(L"ReadLocalFileList: file list loaded (%d entries)", files.size());
}

bool COrvellaEngine::WriteLocalFileList() {
  const std::wstring folder = SnapshotSettings().imgFolder;
  const std::wstring path = JoinFolder(folder, kListFileName);
  const std::wstring temp = JoinFolder(folder, kListTempFileName);
  // The old list stays in place until the new one is completely on disk.
  bool ok = WriteWholeFile(FsPath(temp), EncodeListFile(files));
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(FsPath(temp), FsPath(path), ec);
    ok = !ec;
  }
  if (!ok) {
    std::filesystem::remove(FsPath(temp), ec);
    WriteLog(L"WriteLocalFileList: can't create file %s", path);
  }
  return ok;
}

}  // namespace orvella
