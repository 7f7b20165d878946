// The worker's start, stop, unload and loop with its exception guard.
#include "host/orvella_thread.h"

#include <exception>
#include <string>
#include <system_error>

#include "base/text_utf8.h"
#include "base/write_log.h"
#include "engine/orvella_engine.h"
#include "service/answer_error.h"
#include "system/thread_name.h"

namespace orvella {
namespace {

// Error texts are shown through a 256-character buffer, terminator included.
constexpr std::size_t kErrorTextMax = 255;

std::wstring ErrorText(const char* what) {
  std::wstring text = Utf8ToWide(what != nullptr ? what : "");
  if (text.size() > kErrorTextMax) text.resize(kErrorTextMax);
  return text;
}

}  // namespace

std::unique_ptr<COrvellaThread> COrvellaThread::Start(COrvellaEngine& owner, ThreadTiming timing) {
  WriteLog(L"COrvellaThread::Start()");
  std::unique_ptr<COrvellaThread> worker(new COrvellaThread());
  worker->stopRequested.store(0);
  worker->owner = &owner;
  worker->timing_ = timing;
  try {
    worker->thread_ = std::thread(&COrvellaThread::Main, worker.get());
  } catch (const std::system_error&) {
    return nullptr;
  }
  worker->started_ = true;
  std::unique_lock<std::mutex> guard(worker->finishMutex_);
  worker->finishedSignal_.wait(guard, [&] { return worker->begun_; });
  return worker;
}

COrvellaThread::~COrvellaThread() {
  if (!thread_.joinable()) return;
  stopRequested.store(1);
  wakeEvent.Set();
  exitGate_.Open();
  thread_.join();
}

void COrvellaThread::Stop() {
  if (!started_) return;
  WriteLog(L"COrvellaThread Stopping thread");
  stopRequested.exchange(1);
  wakeEvent.Set();
  bool ended = false;
  {
    std::unique_lock<std::mutex> guard(finishMutex_);
    ended = finishedSignal_.wait_for(guard, timing_.stopWait, [this] { return finished_; });
  }
  // The routine has returned from all of our code; joining only collects the thread.
  if (ended && thread_.joinable()) {
    exitGate_.Open();
    thread_.join();
  }
  WriteLog(L"COrvellaThread::Stop(), result: %d", ended ? kWaitObject0 : kWaitTimeout);
}

bool COrvellaThread::EndForUnload() {
  if (!thread_.joinable()) return true;
  stopRequested.store(1);
  wakeEvent.Set();
  bool ended = false;
  {
    std::unique_lock<std::mutex> guard(finishMutex_);
    ended = finishedSignal_.wait_for(guard, timing_.stopWait, [this] { return finished_; });
  }
  if (!ended) {
    // Still busy: joining would wait for ever, so the thread is left to itself.
    thread_.detach();
    return false;
  }
  if (exitGate_.EndWaitingThread()) thread_.detach();
  return true;
}

bool COrvellaThread::Running() const {
  std::lock_guard<std::mutex> guard(finishMutex_);
  return started_ && !finished_;
}

void COrvellaThread::RunComms() {
  owner->ReadLocalFileList(&stopRequested);  // a long read ends on a stop too
  owner->RestoreUseMarks(carriedMarks_);
  carriedMarks_.clear();
  while (stopRequested.load() == 0) {
    owner->Refresh(&stopRequested);  // a refresh pass and its queries end on a stop too
    if (owner->DownloadNext(&stopRequested) == 0) wakeEvent.Wait(timing_.idleWait);
  }
  // A long list write gives way to the stop: the journal keeps every change until the
  // next start writes it.
  if (owner->modified != 0) owner->WriteLocalFileList(&stopRequested);
  owner->ReleaseFolder();  // another host's worker may have the folder now
}

bool COrvellaThread::GuardedRun(bool restarting) {
  try {
    // Files downloaded before the error are recorded now: the restart reads the list
    // file again, and a record lost there could never be deleted or fetched again.
    if (restarting) {
      // Written first: downloads still in hand become records there, marked in use.
      if (owner->modified != 0) owner->WriteLocalFileList();
      carriedMarks_ = owner->UrlsInUse();
    }
    RunComms();
    return true;
  } catch (const CServiceAnswerError&) {
    // The JSON library's errors (as the client hands them on) are not the framework's:
    // they get the generic line.
    WriteLog(L"Unknown Exception in COrvellaThread::RunComms()");
  } catch (const std::exception& error) {
    WriteLog(L"CException (%s) in COrvellaThread::RunComms()", ErrorText(error.what()));
  } catch (...) {
    WriteLog(L"Unknown Exception in COrvellaThread::RunComms()");
  }
  return false;
}

void COrvellaThread::Main() {
  NameCurrentThread(kWorkerThreadName);
  MarkBegun();
  owner->backoff.Reset();  // a new worker asks a failed feed again at once
  bool restarting = false;
  while (!GuardedRun(restarting)) {
    // A stop request ends the pause early; the restarted loop then sees the flag.
    wakeEvent.Wait(timing_.restartPause);
    restarting = true;
  }
  MarkFinished();
  exitGate_.Pass();
}

void COrvellaThread::MarkBegun() {
  {
    std::lock_guard<std::mutex> guard(finishMutex_);
    begun_ = true;
  }
  finishedSignal_.notify_all();
}

void COrvellaThread::MarkFinished() {
  {
    std::lock_guard<std::mutex> guard(finishMutex_);
    finished_ = true;
  }
  finishedSignal_.notify_all();
}

}  // namespace orvella
