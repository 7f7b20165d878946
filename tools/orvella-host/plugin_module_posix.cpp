// The plug-in module loaded with dlopen.
#include "tools/orvella-host/plugin_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

namespace orvella::host {

PluginModule::~PluginModule() {
  Unload();
}

bool PluginModule::Load(const std::string& path, std::string& error) {
  Unload();
  // A name without a slash would send dlopen through the library search path.
  const std::string local = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = ::dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = ::dlerror();
    error = why ? why : "dlopen failed";
    return false;
  }
  handler_ = reinterpret_cast<MsgHandler>(::dlsym(handle_, "rvtPlugInMsgHandler"));
  if (handler_ == nullptr) {
    error = path + ": no rvtPlugInMsgHandler export";
    Unload();
    return false;
  }
  return true;
}

void PluginModule::Unload() {
  if (handle_ != nullptr) ::dlclose(handle_);
  handle_ = nullptr;
  handler_ = nullptr;
}

std::vector<std::string> ModuleCandidates() {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {"Orvella.rpl"};
  std::string path(self, static_cast<std::size_t>(n));
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  // The installed layout, relative to the program's folder (bin/ to lib/orvella/).
  const std::filesystem::path installed =
      std::filesystem::path(folder + ORVELLA_MODULE_DIR_FROM_BIN "/Orvella.rpl").lexically_normal();
  return {folder + "Orvella.rpl", installed.string()};
}

}  // namespace orvella::host
