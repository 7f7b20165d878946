// The folder lock on Windows: a lock file opened without sharing, deleted when closed,
// opened below the folder's handle and never through a link (which Wine shows as the file
// it points to, and would delete on closing).
#include "system/folder_lock.h"

#include <windows.h>

namespace orvella {
namespace {

constexpr DWORD kLockFlags =
    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;

// Closes a handle that must not take its file with it.
void CloseKeeping(HANDLE file) {
  FILE_DISPOSITION_INFO keep{FALSE};
  ::SetFileInformationByHandle(file, FileDispositionInfo, &keep, sizeof keep);
  ::CloseHandle(file);
}

}  // namespace

FolderLock::~FolderLock() {
  Release();
}

FolderLock::Outcome FolderLock::TryAcquire(const FolderHandle& folder, std::wstring_view name,
                                           std::wstring& reason) {
  Release();
  const EntryInfo present = folder.Look(name);
  if (present.kind == EntryKind::kOther ||
      (present.kind == EntryKind::kRegular && present.links != 1)) {
    reason = present.links > 1 ? L"a file with more than one link" : L"not a regular file";
    return Outcome::kFailed;
  }
  const std::filesystem::path path = folder.PathOf(name);
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    OPEN_ALWAYS, kLockFlags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return Outcome::kBusy;
    reason = L"error " + std::to_wstring(error);
    return Outcome::kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      info.nNumberOfLinks != 1 || !folder.IsInside(file, name)) {
    CloseKeeping(file);
    reason = L"not a regular file";
    return Outcome::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  folder_ = &folder;
  name_ = std::wstring(name);
  return Outcome::kLocked;
}

bool FolderLock::StillHeld() const {
  return Held();  // without sharing, nobody can delete or replace it while it is open
}

void FolderLock::Release() {
  if (!Held()) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // the file goes with its last handle
  handle_ = kNone;
  folder_ = nullptr;
  name_.clear();
}

}  // namespace orvella
