// orvella-host run and sync: the worker driven and its progress reported.
#include "tools/orvella-host/host_sync.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "tools/orvella-host/stop_signal.h"

namespace orvella::host {
namespace {

bool StartsWith(const std::wstring& line, const wchar_t* prefix) {
  return line.compare(0, std::wcslen(prefix), prefix) == 0;
}

// Message 9 logs "COrvellaThread::Start()" on the caller's thread when it starts one.
bool StartWorker(HostSession& session, SyncProgress& progress) {
  session.Send(9);
  if (progress.workerStarted()) return true;
  std::fprintf(stderr,
               "orvella-host: the plug-in started no worker: it needs to be enabled and to "
               "have at least one feed (see 'orvella-host show')\n");
  return false;
}

}  // namespace

void SyncProgress::Observe(const std::wstring& line) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    Count(line);
    unseen_ = true;
  }
  changed_.notify_all();
}

void SyncProgress::WaitForChange(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(mutex_);
  changed_.wait_for(guard, timeout, [this] { return unseen_; });
  unseen_ = false;
}

void SyncProgress::Count(const std::wstring& line) {
  if (line == L"COrvellaThread::Start()") {
    started_ = true;
  } else if (StartsWith(line, L"QueryFeed: http")) {
    ++asked_;
  } else if (StartsWith(line, L"     ") && line.ends_with(L" Items found")) {
    ++answered_;
    queued_ += static_cast<int>(std::wcstol(line.c_str(), nullptr, 10));
  } else if (StartsWith(line, L"DownloadImage(), ") && line.find(L" -> ") != std::wstring::npos &&
             !inDownload_) {
    inDownload_ = true;
    downloadFailed_ = false;
  } else if (StartsWith(line, L"DownloadImage(), ") || StartsWith(line, L"DownloadNext(), ")) {
    downloadFailed_ = true;
    EndDownload();
  } else if (line == L"Download complete") {
    EndDownload();
    done_ = true;
  } else if (StartsWith(line, L"Refresh ")) {
    EndDownload();  // the loop went on to its next pass: the download before it ended
  }
}

void SyncProgress::EndDownload() {
  if (!inDownload_) return;
  inDownload_ = false;
  if (downloadFailed_) {
    ++failed_;
  } else {
    ++downloaded_;
  }
}

bool SyncProgress::workerStarted() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return started_;
}
bool SyncProgress::batchDone() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return done_;
}
int SyncProgress::feedsAsked() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return asked_;
}
int SyncProgress::feedsAnswered() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return answered_;
}
int SyncProgress::queued() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return queued_;
}
int SyncProgress::downloaded() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return downloaded_;
}
int SyncProgress::failed() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return failed_;
}

std::string SyncProgress::Describe() const {
  std::lock_guard<std::mutex> guard(mutex_);
  char text[160];
  std::snprintf(text, sizeof text, "%d items queued, %d downloaded, %d failed", queued_,
                downloaded_, failed_);
  return text;
}

int CommandRun(HostSession& session) {
  StopSignal stop;  // before the worker exists, so it inherits the blocked signals
  SyncProgress progress;
  session.SetLogObserver([&](const std::wstring& line) { progress.Observe(line); });
  if (!StartWorker(session, progress)) return 1;
  std::fprintf(stderr, "orvella-host: running; Ctrl-C stops the plug-in\n");
  stop.Wait();
  std::fprintf(stderr, "orvella-host: stopping\n");
  session.Close();
  return 0;
}

int CommandSync(HostSession& session) {
  StopSignal stop;
  SyncProgress progress;
  session.SetLogObserver([&](const std::wstring& line) { progress.Observe(line); });
  session.Send(40, 1, 1);  // enabled for this run only; the profile is not written
  if (!StartWorker(session, progress)) return 1;
  std::string shown;
  bool interrupted = false;
  while (!progress.batchDone() && !interrupted) {
    progress.WaitForChange(std::chrono::milliseconds(100));
    interrupted = stop.Wait(std::chrono::milliseconds(0));
    const std::string now = progress.Describe();
    if (now != shown) {
      std::printf("sync: %s\n", now.c_str());
      std::fflush(stdout);
      shown = now;
    }
  }
  session.Close();
  std::printf("sync %s: %d of %d feeds answered; %s; %d notices of new files\n",
              interrupted ? "interrupted" : "done", progress.feedsAnswered(), progress.feedsAsked(),
              progress.Describe().c_str(), session.notifications());
  if (interrupted) return 130;
  if (progress.feedsAnswered() == 0) {
    std::fprintf(stderr, "orvella-host: no feed could be queried (is the service at %s?)\n",
                 std::getenv("ORVELLA_SERVER_URL") ? std::getenv("ORVELLA_SERVER_URL")
                                                   : "the compiled-in address");
    return 1;
  }
  return 0;
}

}  // namespace orvella::host
