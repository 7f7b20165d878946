// The monitors in physical pixels whatever the host's DPI awareness: a probe process is
// started with the system's DPI at 192 (200 %), which the system reads only when a
// process starts, and lists the monitors from a thread that is not DPI-aware.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace orvella::test {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

// Sets the user's "LogPixels" (the DPI Wine and older Windows read at a process's start)
// for its lifetime, then puts back what was there.
class ScopedSystemDpi {
 public:
  explicit ScopedSystemDpi(DWORD dpi) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr,
                       &value, &size) == ERROR_SUCCESS) {
      old_ = value;
    }
    set_ = ::RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi,
                             sizeof dpi) == ERROR_SUCCESS;
  }
  ~ScopedSystemDpi() {
    if (old_) {
      const DWORD value = *old_;
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &value,
                        sizeof value);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
    }
  }
  bool set() const { return set_; }

 private:
  std::optional<DWORD> old_;
  bool set_ = false;
};

// Runs `program` and returns its exit code (-1 when it could not be started).
int RunProgram(const std::string& program) {
  std::wstring path = std::filesystem::path(program).wstring();
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;  // the Unix root under Wine
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  std::wstring command = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return -1;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(MonitorsWin, AreMeasuredInPhysicalPixelsFromAThreadThatIsNotDpiAware) {
  int code = -1;
  {
    const ScopedSystemDpi dpi(192);
    ASSERT_TRUE(dpi.set());
    code = RunProgram(ORVELLA_DPI_PROBE);
  }
  if (code == 77) GTEST_SKIP() << "the system does not scale monitors for unaware threads";
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace orvella::test
