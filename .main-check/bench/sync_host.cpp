// The smallest host that runs one folder sync through the module's exported function:
// the settings come from the command line, the diagnostic lines are only watched for the
// end of the first batch, and nothing else runs beside the worker. bench/compare.sh times
// it against curl, so the figures are the module's own.
//
//   sync_host MODULE FOLDER MAXP TAGS    (one wallpaper feed; exit status 0 once the
//                                         batch ended, 2 on wrong use or a failed load)
// With SYNC_HOST_LOG set, the diagnostic lines go to stderr.
#include <dlfcn.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <mutex>
#include <string>

#include "base/host_callback.h"

namespace {

using orvella::ProfileRequest;
using Handler = intptr_t (*)(uintptr_t, uintptr_t, uintptr_t);

// Message numbers of the plug-in's exported function.
enum : uintptr_t { kSetCallback = 3, kLoadSettings = 7, kStart = 9, kStop = 10, kFlavour = 28 };

std::map<std::wstring, std::wstring> g_texts;
std::map<std::wstring, int32_t> g_numbers;
bool g_echo = false;
std::mutex g_mutex;
std::condition_variable g_ended;
bool g_batchEnded = false;

std::wstring Wide(const char* text) {
  std::wstring wide;
  for (const char* c = text; *c != '\0'; ++c) wide += static_cast<unsigned char>(*c);
  return wide;
}

void AnswerRead(ProfileRequest& request) {
  const std::wstring key = request.key != nullptr ? request.key : L"";
  if (request.kind == orvella::kProfileInt) {
    const auto found = g_numbers.find(key);
    request.value = found != g_numbers.end()
                        ? static_cast<intptr_t>(static_cast<uint32_t>(found->second))
                        : request.defaultValue;
    return;
  }
  const auto found = g_texts.find(key);
  const wchar_t* text = found != g_texts.end()
                            ? found->second.c_str()
                            : reinterpret_cast<const wchar_t*>(request.defaultValue);
  auto* buffer = reinterpret_cast<wchar_t*>(request.value);
  if (buffer != nullptr && request.capacity > 0) {
    std::wcsncpy(buffer, text != nullptr ? text : L"", static_cast<std::size_t>(request.capacity));
    buffer[request.capacity] = L'\0';
  }
}

intptr_t Callback(uint32_t op, uintptr_t a, uintptr_t b) {
  if (op == orvella::kHostOpProfileRead) {
    AnswerRead(*reinterpret_cast<ProfileRequest*>(a));
  } else if (op == orvella::kHostOpLog) {
    const auto* line = reinterpret_cast<const wchar_t*>(b);
    if (g_echo) std::fprintf(stderr, "%ls\n", line);
    if (std::wcscmp(line, L"Download complete") == 0) {
      std::lock_guard<std::mutex> guard(g_mutex);
      g_batchEnded = true;
      g_ended.notify_all();
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: sync_host MODULE FOLDER MAXP TAGS\n");
    return 2;
  }
  g_echo = std::getenv("SYNC_HOST_LOG") != nullptr;
  g_numbers = {{L"Enabled", 1},    {L"tmUpdate", 1440}, {L"nFeeds", 1},
               {L"Feed0_Type", 1}, {L"Feed0_Flg", 1},   {L"Feed0_MaxP", std::atoi(argv[3])}};
  g_texts = {{L"ImgFolder", Wide(argv[2])}, {L"Feed0_Tags", Wide(argv[4])}};

  void* module = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  const auto send = module != nullptr
                        ? reinterpret_cast<Handler>(::dlsym(module, "rvtPlugInMsgHandler"))
                        : nullptr;
  if (send == nullptr) {
    std::fprintf(stderr, "sync_host: %s\n", ::dlerror());
    return 2;
  }
  send(kSetCallback, reinterpret_cast<uintptr_t>(&Callback), 0);
  send(kFlavour, 0, 0);
  send(kLoadSettings, 0, 0);
  send(kStart, 0, 0);
  {
    std::unique_lock<std::mutex> guard(g_mutex);
    g_ended.wait(guard, [] { return g_batchEnded; });
  }
  send(kStop, 0, 1);
  ::dlclose(module);
  return 0;
}
