// Console Ctrl-C and close events turned into a stop request.
#include <windows.h>

#include "tools/orvella-host/stop_signal.h"

namespace orvella::host {
namespace {

HANDLE g_stopEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
  if (g_stopEvent != nullptr) SetEvent(g_stopEvent);
  return TRUE;  // handled: the process is not ended here
}

}  // namespace

StopSignal::StopSignal() {
  g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

StopSignal::~StopSignal() {
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  if (g_stopEvent != nullptr) CloseHandle(g_stopEvent);
  g_stopEvent = nullptr;
}

bool StopSignal::Wait(std::chrono::milliseconds timeout) {
  if (!received_ && g_stopEvent != nullptr) {
    received_ =
        WaitForSingleObject(g_stopEvent, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  }
  return received_;
}

void StopSignal::Wait() {
  if (!received_ && g_stopEvent != nullptr) WaitForSingleObject(g_stopEvent, INFINITE);
  received_ = true;
}

}  // namespace orvella::host
