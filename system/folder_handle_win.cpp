// The folder handle on Windows: the folder is held open without FILE_SHARE_DELETE, so it
// can be neither renamed nor removed while the handle lives, and a reparse point at the
// folder is refused; names are then opened below it with FILE_FLAG_OPEN_REPARSE_POINT.
// Every file is checked by the path the system resolves its handle to: Wine shows a Unix
// link as the file it points to (not as a reparse point) and deletes or writes that file
// through it, so a name whose handle resolves elsewhere is never ours.
#include "system/folder_handle.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "base/error_text.h"

namespace orvella {
namespace {

constexpr DWORD kNotPlainFile =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::wstring SystemText(DWORD error) {
  return SystemErrorPhrase(static_cast<int32_t>(error));
}

std::wstring FinalPath(HANDLE handle) {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = ::GetFinalPathNameByHandleW(handle, buffer, MAX_PATH * 4, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= MAX_PATH * 4) return {};
  return std::wstring(buffer, n);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<uint64_t>(high) << 32) | low;
}

int64_t UnixSeconds(const FILETIME& time) {
  const uint64_t ticks = Join(time.dwHighDateTime, time.dwLowDateTime);
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

// A handle of a name of the folder, opened as itself (a reparse point is not followed).
class NameHandle {
 public:
  NameHandle(const std::filesystem::path& path, DWORD access) {
    handle_ = ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  ~NameHandle() {
    if (Valid()) ::CloseHandle(handle_);
  }
  NameHandle(const NameHandle&) = delete;
  NameHandle& operator=(const NameHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

FolderHandle::~FolderHandle() {
  Close();
}

bool FolderHandle::Open(const std::filesystem::path& folder, std::wstring& reason) {
  Close();
  // No FILE_SHARE_DELETE: while this handle lives the folder cannot be renamed or removed,
  // so its path keeps naming it.
  const HANDLE handle =
      ::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    reason = SystemText(::GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    reason = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? L"a reparse point"
                                                                         : L"not a folder";
    ::CloseHandle(handle);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  identity_ = {info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow)};
  path_ = folder;
  final_ = FinalPath(handle);
  return true;
}

void FolderHandle::Close() {
  if (!IsOpen()) return;
  ::CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
  identity_ = {};
  final_.clear();
}

bool FolderHandle::StillAt(const std::filesystem::path& folder) const {
  if (!IsOpen()) return false;
  NameHandle other(folder, FILE_READ_ATTRIBUTES);
  BY_HANDLE_FILE_INFORMATION info{};
  return other.Valid() && ::GetFileInformationByHandle(other.get(), &info) &&
         FileIdentity{info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow)} ==
             identity_;
}

bool FolderHandle::IsInside(void* handle, std::wstring_view name) const {
  return !final_.empty() &&
         SameText(FinalPath(static_cast<HANDLE>(handle)), final_ + L"\\" + std::wstring(name));
}

EntryInfo FolderHandle::Look(std::wstring_view name) const {
  EntryInfo entry;
  if (!IsOpen()) return entry;
  const std::filesystem::path path = PathOf(name);
  NameHandle file(path, FILE_READ_ATTRIBUTES);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || !::GetFileInformationByHandle(file.get(), &info)) {
    // Something may stand there all the same (a link to nothing, a file kept locked).
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
        ::GetLastError() == ERROR_SHARING_VIOLATION) {
      entry.kind = EntryKind::kOther;
    }
    return entry;
  }
  const bool plain = ::GetFileType(file.get()) == FILE_TYPE_DISK &&
                     (info.dwFileAttributes & kNotPlainFile) == 0 && IsInside(file.get(), name);
  entry.kind = plain ? EntryKind::kRegular : EntryKind::kOther;
  entry.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
  entry.links = info.nNumberOfLinks;
  entry.ownedByUs = true;
  entry.writtenAt = UnixSeconds(info.ftLastWriteTime);
  return entry;
}

CreateOutcome FolderHandle::CreateExclusive(std::wstring_view name, WorkFile& file,
                                            std::wstring* reason) const {
  file.Close();
  // CREATE_NEW fails on any existing name; a reparse point is never followed.
  const HANDLE handle = ::CreateFileW(
      PathOf(name).c_str(), GENERIC_WRITE | GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
      CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return CreateOutcome::kTaken;
    if (reason != nullptr) *reason = SystemText(error);
    return CreateOutcome::kFailed;
  }
  file.handle_ = reinterpret_cast<intptr_t>(handle);
  return CreateOutcome::kCreated;
}

ReadOutcome FolderHandle::Read(std::wstring_view name, std::string& bytes, std::size_t maxBytes,
                               bool ownOnly) const {
  bytes.clear();
  const std::filesystem::path path = PathOf(name);
  NameHandle file(path, GENERIC_READ);
  if (!file.Valid()) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? ReadOutcome::kNotRegular
                                                                         : ReadOutcome::kMissing;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & kNotPlainFile) != 0 || !IsInside(file.get(), name) ||
      (ownOnly && info.nNumberOfLinks != 1)) {
    return ReadOutcome::kNotRegular;
  }
  const uint64_t size = Join(info.nFileSizeHigh, info.nFileSizeLow);
  if (size > maxBytes) return ReadOutcome::kTooLarge;
  bytes.reserve(ReadReserve(size));
  char block[64 * 1024];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), block, sizeof block, &n, nullptr)) {
      bytes.clear();
      return ReadOutcome::kMissing;
    }
    if (n == 0) return ReadOutcome::kRead;
    bytes.append(block, n);
    if (bytes.size() > maxBytes) {
      bytes.clear();
      return ReadOutcome::kTooLarge;
    }
  }
}

bool FolderHandle::OpenOwnForAppend(std::wstring_view name, AppendFile& file,
                                    std::wstring* reason) const {
  file.Close();
  const std::filesystem::path path = PathOf(name);
  // Opened only when it is there, else made anew: OPEN_ALWAYS would make the file a link
  // to nothing points at. Without FILE_SHARE_DELETE nobody can delete or rename it while
  // it is open.
  HANDLE handle =
      ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
    handle = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                           nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    if (reason != nullptr) *reason = SystemText(::GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & kNotPlainFile) != 0 || info.nNumberOfLinks != 1 ||
      !IsInside(handle, name)) {
    if (reason != nullptr)
      *reason = info.nNumberOfLinks > 1 ? L"a file with more than one link" : L"not a regular file";
    ::CloseHandle(handle);
    return false;
  }
  file.handle_ = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool FolderHandle::Remove(std::wstring_view name, RemoveRule rule) const {
  if (!IsOpen()) return false;
  NameHandle file(PathOf(name), DELETE | FILE_READ_ATTRIBUTES);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || !::GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsInside(file.get(), name)) {
    return false;  // what resolves outside the folder is deleted through no name of ours
  }
  switch (rule) {
    case RemoveRule::kAnyFile:
      break;
    case RemoveRule::kOwnFile:
      if ((info.dwFileAttributes & kNotPlainFile) != 0 || info.nNumberOfLinks != 1) return false;
      break;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool FolderHandle::MoveOpenNoReplace(const WorkFile& file, std::wstring_view from,
                                     std::wstring_view to) const {
  // Renamed through its own handle (opened with the right to), which no other program
  // shares: a file of that name elsewhere is never the one moved.
  const HANDLE handle = reinterpret_cast<HANDLE>(file.handle_);
  if (!file.IsOpen() || !IsInside(handle, from)) return false;
  const std::wstring target = PathOf(to).wstring();
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::copy(target.begin(), target.end(), rename->FileName);
  return ::SetFileInformationByHandle(handle, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

bool FolderHandle::MoveNoReplace(std::wstring_view from, std::wstring_view to) const {
  return ::MoveFileExW(PathOf(from).c_str(), PathOf(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool FolderHandle::MoveReplacing(std::wstring_view from, std::wstring_view to) const {
  return ::MoveFileExW(PathOf(from).c_str(), PathOf(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FolderHandle::FlushEntries() const {
  // A folder opens for flushing only with write access, which not every file system
  // grants for folders: then the moves' own write-through is all there is.
  const HANDLE handle = ::CreateFileW(path_.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return true;
  ::FlushFileBuffers(handle);
  ::CloseHandle(handle);
  return true;
}

bool FolderHandle::FlushFiles(const std::vector<std::wstring>& names) const {
  bool flushed = true;
  for (const std::wstring& name : names) {
    NameHandle file(PathOf(name), GENERIC_WRITE);
    if (!file.Valid() || !IsInside(file.get(), name)) continue;  // gone since, or not ours
    flushed = ::FlushFileBuffers(file.get()) != 0 && flushed;
  }
  return flushed;
}

std::filesystem::path FolderHandle::PathOf(std::wstring_view name) const {
  return path_ / std::filesystem::path(std::wstring(name));
}

}  // namespace orvella
