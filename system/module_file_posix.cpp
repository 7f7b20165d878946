// The module's path from the dynamic loader: the object that holds this function.
#include "system/module_file.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "base/text_utf8.h"

namespace orvella {

std::wstring ModuleFilePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&ModuleFilePath), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  // dli_fname is the name the loader was given, which may be relative.
  std::unique_ptr<char, decltype(&std::free)> full(::realpath(info.dli_fname, nullptr), &std::free);
  return Utf8ToWide(full ? full.get() : info.dli_fname);
}

}  // namespace orvella
