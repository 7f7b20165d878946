// Off Windows a thread ends without any lock an unload holds: the gate is always open.
#include "system/thread_exit_gate.h"

namespace orvella {

struct CThreadExitGate::State {};

CThreadExitGate::CThreadExitGate() = default;
CThreadExitGate::~CThreadExitGate() = default;

void CThreadExitGate::Pass() {}

void CThreadExitGate::Open() {}

bool CThreadExitGate::EndWaitingThread() {
  return false;
}

}  // namespace orvella
