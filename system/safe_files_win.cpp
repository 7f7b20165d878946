// Safe file operations on Windows: CREATE_NEW without following reparse points, handles
// checked for plain disk files, MoveFileExW with and without replacing, FlushFileBuffers.
#include "system/safe_files.h"

#include <windows.h>

#include <algorithm>

namespace orvella {
namespace {

constexpr DWORD kNotPlainFile =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), piece, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

// True when the open handle is a plain file on a disk (not a pipe, a device, a folder or
// a reparse point opened as itself).
bool IsPlainDiskFile(HANDLE file) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & kNotPlainFile) == 0;
}

}  // namespace

EntryKind KindOf(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
  return (attributes & kNotPlainFile) == 0 ? EntryKind::kRegular : EntryKind::kOther;
}

WorkFile::~WorkFile() {
  Close();
}

CreateOutcome WorkFile::CreateNew(const std::filesystem::path& path) {
  Close();
  // CREATE_NEW fails on any existing name; a reparse point is never followed.
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::kTaken
                                                                       : CreateOutcome::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return CreateOutcome::kCreated;
}

bool WorkFile::Write(std::string_view data) {
  return IsOpen() && WriteAll(AsHandle(handle_), data);
}

bool WorkFile::Flush() {
  return IsOpen() && ::FlushFileBuffers(AsHandle(handle_));
}

bool WorkFile::Size(uint64_t& size) const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!IsOpen() || !::GetFileInformationByHandle(AsHandle(handle_), &info)) return false;
  size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

bool WorkFile::Close() {
  if (!IsOpen()) return false;
  const HANDLE file = AsHandle(handle_);
  handle_ = kClosed;
  return ::CloseHandle(file) != 0;
}

ReadOutcome ReadRegularFile(const std::filesystem::path& path, bool followLinks, std::string& bytes,
                            std::size_t maxBytes) {
  bytes.clear();
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return KindOf(path) == EntryKind::kOther ? ReadOutcome::kNotRegular : ReadOutcome::kMissing;
  if (!IsPlainDiskFile(file)) {
    ::CloseHandle(file);
    return ReadOutcome::kNotRegular;
  }
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
      ::CloseHandle(file);
      return ReadOutcome::kTooLarge;
    }
    bytes.reserve(ReadReserve(static_cast<std::uint64_t>(size.QuadPart)));
  }
  char block[64 * 1024];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, block, sizeof block, &n, nullptr)) {
      ::CloseHandle(file);
      bytes.clear();
      return ReadOutcome::kMissing;
    }
    if (n == 0) break;
    bytes.append(block, n);
    if (bytes.size() > maxBytes) {
      ::CloseHandle(file);
      bytes.clear();
      return ReadOutcome::kTooLarge;
    }
  }
  ::CloseHandle(file);
  return ReadOutcome::kRead;
}

AppendFile::~AppendFile() {
  Close();
}

bool AppendFile::Append(std::string_view bytes, bool* leftPartial) {
  if (leftPartial != nullptr) *leftPartial = false;
  if (!IsOpen()) return false;
  const HANDLE file = AsHandle(handle_);
  LARGE_INTEGER before{};
  const bool known = ::GetFileSizeEx(file, &before) != 0;
  if (WriteAll(file, bytes)) return true;
  // A full disk can take part of an entry: cut back to where it began, so that the next
  // entry does not continue the piece.
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile = before;
  const bool cut =
      known && ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
  if (leftPartial != nullptr) *leftPartial = !cut;
  return false;
}

bool AppendFile::Flush() {
  return IsOpen() && ::FlushFileBuffers(AsHandle(handle_)) != 0;
}

bool AppendFile::IsNamed() const {
  return IsOpen();  // the share mode keeps its name while it is open
}

void AppendFile::Close() {
  if (!IsOpen()) return;
  ::CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
}

bool RemoveRegularFile(const std::filesystem::path& path) {
  if (KindOf(path) != EntryKind::kRegular) return false;
  return ::DeleteFileW(path.c_str()) != 0;
}

}  // namespace orvella
