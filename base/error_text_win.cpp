// Error texts from FormatMessageW, in the system's language.
#include "base/error_text.h"

#include <windows.h>

#include <mutex>
#include <utility>
#include <vector>

namespace orvella {
namespace {

// The modules remembered by name. Made at first use: other files remember theirs while
// the module loads, in an order between files that nothing fixes.
struct RememberedModules {
  std::mutex mutex;
  std::vector<std::pair<std::wstring, HMODULE>> modules;  // under mutex
};

RememberedModules& Remembered() {
  static RememberedModules remembered;
  return remembered;
}

HMODULE MessageModule(const wchar_t* library) {
  if (library == nullptr) return nullptr;
  {
    RememberedModules& remembered = Remembered();
    std::lock_guard<std::mutex> guard(remembered.mutex);
    for (const auto& [name, module] : remembered.modules)
      if (name == library) return module;
  }
  return ::GetModuleHandleW(library);
}

}  // namespace

void RememberMessageModule(const wchar_t* library, void* module) {
  if (library == nullptr || module == nullptr) return;
  RememberedModules& remembered = Remembered();
  std::lock_guard<std::mutex> guard(remembered.mutex);
  for (const auto& entry : remembered.modules)
    if (entry.first == library) return;
  remembered.modules.emplace_back(library, static_cast<HMODULE>(module));
}

std::wstring SystemErrorText(int32_t code, const wchar_t* library) {
  const HMODULE module = MessageModule(library);
  DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  wchar_t* text = nullptr;
  ::FormatMessageW(flags, module, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0,
                   nullptr);
  std::wstring message = text != nullptr ? text : L"";
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) message = L"error " + std::to_wstring(code);
  return message;
}

}  // namespace orvella
