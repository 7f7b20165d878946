// The folder lock on Windows: a lock file opened without sharing, deleted when closed.
#include <windows.h>

#include "system/folder_lock.h"

namespace orvella {

FolderLock::~FolderLock() {
  Release();
}

FolderLock::Outcome FolderLock::TryAcquire(const std::filesystem::path& lockFile) {
  Release();
  // A link or folder at the name is not ours: opened, it would be deleted on closing.
  const DWORD present = ::GetFileAttributesW(lockFile.c_str());
  if (present != INVALID_FILE_ATTRIBUTES &&
      (present & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return Outcome::kFailed;
  }
  const HANDLE file = ::CreateFileW(
      lockFile.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? Outcome::kBusy
                                                                             : Outcome::kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    ::CloseHandle(file);
    return Outcome::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  file_ = lockFile;
  return Outcome::kLocked;
}

void FolderLock::Release() {
  if (!Held()) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // the file goes with its last handle
  handle_ = kNone;
}

}  // namespace orvella
