// The worker's exit gate on Windows: an alertable wait in the system, which an unload
// ends by queueing ExitThread to the thread as an asynchronous procedure call.
#include <windows.h>

#include "system/thread_exit_gate.h"

namespace orvella {

struct CThreadExitGate::State {
  HANDLE opened = nullptr;   // manual reset: set by Open
  HANDLE arrived = nullptr;  // manual reset: set once the worker waits in Pass
  HANDLE thread = nullptr;   // the waiting worker, duplicated by Pass
};

CThreadExitGate::CThreadExitGate() : state_(std::make_unique<State>()) {
  state_->opened = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  state_->arrived = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CThreadExitGate::~CThreadExitGate() {
  if (state_->thread != nullptr) ::CloseHandle(state_->thread);
  if (state_->arrived != nullptr) ::CloseHandle(state_->arrived);
  if (state_->opened != nullptr) ::CloseHandle(state_->opened);
}

void CThreadExitGate::Pass() {
  if (state_->opened == nullptr || state_->arrived == nullptr) return;
  ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                    &state_->thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
  // Signalling and waiting in one call: once the unload sees the signal, no more of this
  // module's code runs on the thread. Alertable: the unload's ExitThread runs inside this
  // wait and never returns here.
  while (::SignalObjectAndWait(state_->arrived, state_->opened, INFINITE, TRUE) ==
         WAIT_IO_COMPLETION) {
  }
}

void CThreadExitGate::Open() {
  if (state_->opened != nullptr) ::SetEvent(state_->opened);
}

bool CThreadExitGate::EndWaitingThread() {
  // The worker marks itself finished just before it comes here: give it the moment.
  if (state_->arrived == nullptr ||
      ::WaitForSingleObject(state_->arrived, 10000) != WAIT_OBJECT_0 || state_->thread == nullptr) {
    return false;
  }
  // kernel32's own ExitThread, not an import thunk of this module, which will be gone by
  // the time the call runs.
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto exitThread =
      reinterpret_cast<PAPCFUNC>(reinterpret_cast<void*>(::GetProcAddress(kernel, "ExitThread")));
  return exitThread != nullptr && ::QueueUserAPC(exitThread, state_->thread, 0) != 0;
}

}  // namespace orvella
