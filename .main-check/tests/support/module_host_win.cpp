// The real module, loaded with LoadLibraryW by the test process.
#include <windows.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/module_host.h"

namespace orvella::test {
namespace {

// The build compiles in the module's path as the build machine names it. Under Wine a
// path from the Linux side ("/work/...") is on drive Z:, which maps the Unix root.
std::wstring NativePath(const std::string& path) {
  std::wstring wide = std::filesystem::path(path).wstring();
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

}  // namespace

std::string ModulePath() {
  return ORVELLA_MODULE_PATH;
}

LoadedModule::LoadedModule() {
  HMODULE module = ::LoadLibraryW(NativePath(ModulePath()).c_str());
  if (module == nullptr) {
    throw std::runtime_error("LoadLibraryW failed with error " + std::to_string(::GetLastError()));
  }
  handle_ = module;
  handler_ = reinterpret_cast<intptr_t (*)(uintptr_t, uintptr_t, uintptr_t)>(
      reinterpret_cast<void*>(::GetProcAddress(module, "rvtPlugInMsgHandler")));
  if (handler_ == nullptr) {
    Unload();
    throw std::runtime_error("no rvtPlugInMsgHandler");
  }
}

LoadedModule::~LoadedModule() {
  Unload();
}

intptr_t LoadedModule::Send(uintptr_t code, uintptr_t a, uintptr_t b) const {
  return handler_(code, a, b);
}

void LoadedModule::Unload() {
  if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace orvella::test
