// Thread names through SetThreadDescription, looked up at run time: systems before
// Windows 10 have none.
#include "system/thread_name.h"

#include <windows.h>

#include <string>

namespace orvella {

void NameCurrentThread(const char* name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto set = kernel == nullptr ? nullptr
                               : reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
                                     ::GetProcAddress(kernel, "SetThreadDescription")));
  if (set == nullptr) return;
  const std::string text(name);
  set(::GetCurrentThread(), std::wstring(text.begin(), text.end()).c_str());
}

}  // namespace orvella
