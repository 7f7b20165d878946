// Loading the plug-in with LoadLibraryW. Paths are in the ANSI code page, as the
// program's arguments arrive.
#include "tools/orvella-host/plugin_module.h"

#include <windows.h>

#include <string>

#include "base/ansi_codepage.h"
#include "base/error_text.h"

namespace orvella::host {
namespace {

std::string ErrorText(DWORD code) {
  const std::string number = "error " + std::to_string(code);
  const std::wstring message = SystemErrorText(static_cast<int32_t>(code));
  // The text is the bare number when the system has none.
  return message == L"error " + std::to_wstring(code) ? number
                                                      : number + " (" + WideToAnsi(message) + ")";
}

}  // namespace

PluginModule::~PluginModule() {
  Unload();
}

bool PluginModule::Load(const std::string& path, std::string& error) {
  Unload();
  // A bare name would be looked for along the system's DLL search path: make it whole.
  const std::wstring wide = AnsiToWide(path);
  std::wstring full(MAX_PATH * 4, L'\0');
  const DWORD length =
      ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(length > 0 && length < full.size() ? length : 0);
  HMODULE module = ::LoadLibraryW(full.empty() ? wide.c_str() : full.c_str());
  if (module == nullptr) {
    error = ErrorText(::GetLastError());
    return false;
  }
  handle_ = module;
  handler_ = reinterpret_cast<MsgHandler>(
      reinterpret_cast<void*>(::GetProcAddress(module, "rvtPlugInMsgHandler")));
  if (handler_ == nullptr) {
    error = path + ": no rvtPlugInMsgHandler export";
    Unload();
    return false;
  }
  return true;
}

void PluginModule::Unload() {
  if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
  handler_ = nullptr;
}

std::vector<std::string> ModuleCandidates() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {"Orvella.rpl"};
  std::wstring path(self, n);
  const std::size_t separator = path.find_last_of(L"\\/");
  return {WideToAnsi(path.substr(0, separator + 1) + L"Orvella.rpl")};
}

}  // namespace orvella::host
