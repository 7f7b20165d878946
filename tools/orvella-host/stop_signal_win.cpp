// Console Ctrl-C and close events turned into a stop request; a second one ends the
// process through the system's default handler.
#include "tools/orvella-host/stop_signal.h"

#include <windows.h>

namespace orvella::host {
namespace {

HANDLE g_stopEvent = nullptr;
volatile LONG g_requests = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
  // The first request is ours to handle; a later one falls through to the default
  // handler, which ends the process at once.
  if (InterlockedIncrement(&g_requests) > 1) return FALSE;
  if (g_stopEvent != nullptr) SetEvent(g_stopEvent);
  return TRUE;
}

}  // namespace

StopSignal::StopSignal() {
  g_requests = 0;
  g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

StopSignal::~StopSignal() {
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  if (g_stopEvent != nullptr) CloseHandle(g_stopEvent);
  g_stopEvent = nullptr;
}

bool StopSignal::Wait(std::chrono::milliseconds timeout) {
  if (exitStatus_ == 0 && g_stopEvent != nullptr &&
      WaitForSingleObject(g_stopEvent, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0) {
    exitStatus_ = 130;
  }
  return exitStatus_ != 0;
}

void StopSignal::Wait() {
  if (exitStatus_ == 0 && g_stopEvent != nullptr) WaitForSingleObject(g_stopEvent, INFINITE);
  exitStatus_ = 130;
}

}  // namespace orvella::host
