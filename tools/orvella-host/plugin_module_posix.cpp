// The plug-in module loaded with dlopen.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "tools/orvella-host/plugin_module.h"

namespace orvella::host {

PluginModule::~PluginModule() {
  Unload();
}

bool PluginModule::Load(const std::string& path, std::string& error) {
  Unload();
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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

std::string DefaultModulePath() {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "Orvella.rpl";
  std::string path(self, static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  return path.substr(0, slash + 1) + "Orvella.rpl";
}

}  // namespace orvella::host
