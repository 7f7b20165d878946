// The worker's exit gate on Windows: a wait in the system, where an unload terminates the
// thread.
//
// Terminating, not ExitThread queued as an asynchronous procedure call: a thread leaving
// through ExitThread waits for the loader lock the unload holds, and Wine was seen to let
// such a thread return from its wait into the module after it was unmapped. A thread
// parked in a wait holds no lock and has nothing to clean up but the C runtime's few bytes
// for it, and its end can be waited for under the loader lock: no notice goes to any DLL.
#include "system/thread_exit_gate.h"

#include <windows.h>

namespace orvella {
namespace {
// How long an unload waits for the terminated thread to be gone; it takes a moment.
constexpr DWORD kGoneWaitMs = 5000;
}  // namespace

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
  // module's code runs on the thread until the gate opens, which an unload never does.
  ::SignalObjectAndWait(state_->arrived, state_->opened, INFINITE, FALSE);
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
  if (!::TerminateThread(state_->thread, 0)) return false;
  ::WaitForSingleObject(state_->thread, kGoneWaitMs);
  return true;
}

}  // namespace orvella
