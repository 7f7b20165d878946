// The folder probe on Windows: a hidden file opened with FILE_FLAG_DELETE_ON_CLOSE, which
// the system deletes with its handle, also when the process is killed.
#include "tools/orvella-host/folder_probe.h"

#include <windows.h>

#include "base/error_text.h"
#include "base/text_utf8.h"

namespace orvella::host {
namespace {

// The system's message without its closing full stop, as it ends one of our sentences.
std::string ErrorText(DWORD code) {
  return WideToUtf8(SystemErrorPhrase(static_cast<int32_t>(code)));
}

}  // namespace

std::string WriteProbeProblem(const std::filesystem::path& folder) {
  const std::wstring prefix = L".orvella-host-probe-" + std::to_wstring(::GetCurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path probe = folder / (prefix + L"-" + std::to_wstring(attempt));
    const HANDLE file = ::CreateFileW(
        probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return ErrorText(error);
    }
    DWORD written = 0;
    const bool ok = ::WriteFile(file, "p", 1, &written, nullptr) && written == 1;
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(file);
    return ok ? "" : ErrorText(error == ERROR_SUCCESS ? ERROR_DISK_FULL : error);
  }
  return "";  // every name taken: nothing more can be learnt by trying
}

}  // namespace orvella::host
