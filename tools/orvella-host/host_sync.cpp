// orvella-host run and sync: the worker driven, its progress shown and its work counted.
#include "tools/orvella-host/host_sync.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <set>

#include "base/path_text.h"
#include "base/text_utf8.h"
#include "engine/image_folder.h"
#include "model/orvella_model.h"
#include "service/server_address.h"
#include "system/folder_handle.h"
#include "system/folder_lock.h"
#include "tools/orvella-host/disk_full.h"
#include "tools/orvella-host/folder_record.h"
#include "tools/orvella-host/stop_signal.h"
#include "tools/orvella-host/sync_counts.h"

namespace orvella::host {
namespace {

bool StartsWith(const std::wstring& line, const wchar_t* prefix) {
  return line.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The plug-in's line for an HTTP status other than 200, the status after it.
constexpr wchar_t kServerStatusLine[] = L"HttpQueryInfo()  error returned by server: ";

// The plug-in's line for a service address it refused, the refusal after it.
constexpr wchar_t kAddressRefusalLine[] = L"ServerBaseUrl: ";

// A size of 0 in the query: the plug-in found no monitor to measure.
bool AskedForNoSize(const std::wstring& query) {
  return query.find(L"_width=0&") != std::wstring::npos ||
         query.find(L"_height=0&") != std::wstring::npos || query.ends_with(L"_height=0");
}

// Lines the worker writes while it works on one queued item, from its name to its file.
// The batch's own lines among them are told apart by what they say.
bool IsItemLine(const std::wstring& line) {
  if (StartsWith(line, L"DownloadNext(), ")) {
    return !StartsWith(line, L"DownloadNext(), image folder in use") &&
           !StartsWith(line, L"DownloadNext(), no usable image folder");
  }
  return StartsWith(line, L"DownloadImage(), ") || StartsWith(line, L"BuildLocalName(): ") ||
         StartsWith(line, L"File already exits: ");
}

// The URL of a download's first line, "DownloadImage(), URL -> TARGET"; "" for others.
std::wstring DownloadedUrl(const std::wstring& line) {
  constexpr std::wstring_view kPrefix = L"DownloadImage(), ";
  if (!StartsWith(line, kPrefix.data())) return L"";
  const std::size_t arrow = line.find(L" -> ", kPrefix.size());
  return arrow == std::wstring::npos ? L"" : line.substr(kPrefix.size(), arrow - kPrefix.size());
}

// The enabled feeds among those the plug-in loaded, from the values it read.
int EnabledFeeds(const std::vector<ProfileRead>& reads) {
  int enabled = 0;
  for (const ProfileRead& read : reads) {
    if (read.key.starts_with("Feed") && read.key.ends_with("_Flg")) {
      enabled += (std::strtol(read.value.c_str(), nullptr, 10) & kFeedEnabled) != 0;
    }
  }
  return enabled;
}

// True when another worker holds the folder's lock now (a host running the plug-in, or
// another sync). Its journal then belongs to that run, not to an interrupted one.
bool HeldByAnotherWorker(const FolderHandle& handle, FolderLock& lock) {
  std::wstring reason;
  return handle.IsOpen() &&
         lock.TryAcquire(handle, kLockFileName, reason) == FolderLock::Outcome::kBusy;
}

void ShowFolderInUse(const std::string& folder) {
  std::fprintf(stderr,
               "orvella-host: the image folder %s is in use by another worker (a wallpaper "
               "host or orvella-host running the plug-in); try again when it has ended\n",
               folder.c_str());
}

// What a silent worker waits for is said after kQuietNotice without a line, and then
// every kQuietRepeat.
constexpr std::chrono::steady_clock::duration kQuietRepeat = std::chrono::seconds(30);
void ShowWaiting(const SyncProgress& progress, std::chrono::steady_clock::duration& nextNotice) {
  std::chrono::steady_clock::duration quiet{};
  const std::string subject = progress.WaitingFor(quiet);
  if (quiet < kQuietNotice) nextNotice = kQuietNotice;
  if (subject.empty() || quiet < nextNotice) return;
  nextNotice = quiet + kQuietRepeat;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(quiet).count();
  std::fprintf(stderr, "sync: waiting for %s (%lld s without an answer; Ctrl-C stops)\n",
               subject.c_str(), static_cast<long long>(seconds));
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

// What the count starts from, when it is not simply the list file.
void ShowBefore(const FolderRecord& before, const std::string& folder, int verbosity) {
  if (verbosity < 1) return;
  if (!before.listProblem.empty()) {
    std::fprintf(stderr,
                 "orvella-host: the list file in %s is not counted (%s): what it records "
                 "counts as new\n",
                 folder.c_str(), before.listProblem.c_str());
  }
  if (before.journalEntries > 0) {
    std::fprintf(stderr,
                 "orvella-host: an interrupted run left a journal (%zu entries); the plug-in "
                 "applies it, and so does the count\n",
                 before.journalEntries);
  }
}

void PrintStopping() {
  std::fprintf(stderr, "orvella-host: stopping (Ctrl-C again ends it at once)\n");
}

// Returns "" when the plug-in can download into its image folder, else why not.
std::string ImageFolderProblem(const std::string& folder) {
  if (folder.empty())
    return "no image folder is set (orvella-host set folder DIR, or configure, sets one)";
  if (!std::filesystem::path(folder).is_absolute()) {
    return "the image folder " + folder + " is not an absolute path";
  }
  const std::string problem = FolderWriteProblem(Utf8ToWide(folder));
  return problem.empty() ? "" : "cannot write into the image folder " + folder + ": " + problem;
}

}  // namespace

SyncProgress::SyncProgress() : diskFullReasons_(DiskFullReasons()) {}

void SyncProgress::Observe(const std::wstring& line) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    Count(line);
    NoteDiskFull(line);
    lastLine_ = std::chrono::steady_clock::now();
    NoteAddressRefusal(line);
    unseen_ = true;
  }
  changed_.notify_all();
}

void SyncProgress::NoteDiskFull(const std::wstring& line) {
  if (!diskFull_.empty()) return;
  for (const std::wstring& reason : diskFullReasons_) {
    if (line.find(reason) != std::wstring::npos) diskFull_ = reason;
  }
}

void SyncProgress::EndItem() {
  if (inItem_) items_.push_back(std::move(item_));
  item_ = ItemAttempt{};
  inItem_ = false;
}

bool SyncProgress::CountItemLine(const std::wstring& line) {
  if (!IsItemLine(line)) return false;
  if (!inItem_) item_.key = line;  // a refusal is known by its first line
  inItem_ = true;
  if (const std::wstring url = DownloadedUrl(line); !url.empty() && item_.url.empty()) {
    item_.url = url;
    item_.key = url;
    ++downloads_;
    waitingFor_ = L"the picture " + url;
  }
  return true;
}

void SyncProgress::WaitForChange(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(mutex_);
  changed_.wait_for(guard, timeout, [this] { return unseen_; });
  unseen_ = false;
}

void SyncProgress::EndQuery() {
  if (querying_) failures_.push_back(current_);
  querying_ = false;
}

void SyncProgress::Count(const std::wstring& line) {
  if (line == L"COrvellaThread::Start()") {
    started_ = true;
  } else if (StartsWith(line, L"QueryFeed: http")) {
    EndQuery();
    ++asked_;
    querying_ = true;
    current_ = FeedFailure{line.substr(std::wcslen(L"QueryFeed: ")), 0, false};
    waitingFor_ = L"a feed query to " + current_.query;
  } else if (StartsWith(line, kServerStatusLine)) {
    current_.status =
        static_cast<int>(std::wcstol(line.c_str() + std::wcslen(kServerStatusLine), nullptr, 10));
    waitingFor_.clear();
  } else if (IsUnreachableLine(line)) {
    current_.unreachable = true;
    waitingFor_.clear();
  } else if (StartsWith(line, L"     ") && line.ends_with(L" Items found")) {
    if (querying_) ++answered_;
    querying_ = false;
    offered_ += static_cast<int>(std::wcstol(line.c_str(), nullptr, 10));
    waitingFor_.clear();
  } else if (StartsWith(line, L"Refresh ")) {
    // Every download step follows a refresh pass: it ends the item before it.
    EndQuery();
    EndItem();
    waitingFor_.clear();
  } else if (line == L"Download complete") {
    EndQuery();
    // What the batch's end wrote is no item's.
    item_ = ItemAttempt{};
    inItem_ = false;
    done_ = true;
    waitingFor_.clear();
  } else if (StartsWith(line, L"DownloadNext(), image folder in use by another worker")) {
    busy_ = true;
  } else if (CountItemLine(line)) {
    EndQuery();
  }
}

void SyncProgress::NoteAddressRefusal(const std::wstring& line) {
  if (StartsWith(line, kAddressRefusalLine)) {
    addressRefusal_ = line.substr(std::wcslen(kAddressRefusalLine));
  }
}

std::wstring SyncProgress::addressRefusal() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return addressRefusal_;
}

std::string NoQueryCause(const SyncProgress& progress) {
  if (progress.feedsAsked() > 0) return "";
  const std::wstring refusal = progress.addressRefusal();
  if (!refusal.empty()) {
    return "no feed query was sent: " + WideToUtf8(refusal) +
           " (it takes http:// or https:// and a host, such as http://127.0.0.1:8780)";
  }
  return "no feed query was sent: no feed is enabled (see 'orvella-host show')";
}

bool SyncProgress::workerStarted() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return started_;
}
bool SyncProgress::batchDone() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return done_;
}
bool SyncProgress::folderBusy() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return busy_;
}
int SyncProgress::feedsAsked() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return asked_;
}
int SyncProgress::feedsAnswered() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return answered_;
}
int SyncProgress::offered() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return offered_;
}
int SyncProgress::downloadsTried() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return downloads_;
}
std::vector<FeedFailure> SyncProgress::failures() const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<FeedFailure> all = failures_;
  if (querying_) all.push_back(current_);  // still waiting for its answer
  return all;
}

void SyncProgress::SetFeedTotal(int feeds) {
  std::lock_guard<std::mutex> guard(mutex_);
  feedTotal_ = feeds;
}

std::string SyncProgress::Describe() const {
  std::lock_guard<std::mutex> guard(mutex_);
  char text[160];
  // The total is known before the first answer: it does not grow while feeds are asked.
  std::snprintf(text, sizeof text, "%d of %d feeds answered (%d items), %d downloads begun",
                answered_, std::max(feedTotal_, asked_), offered_, downloads_);
  return text;
}

int SyncProgress::FailedItems(const FolderRecord& after) const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::set<std::wstring> failed;
  for (const ItemAttempt& item : items_) {
    if (item.url.empty() || after.files.count(item.url) == 0) failed.insert(item.key);
  }
  return static_cast<int>(failed.size());
}

std::string SyncProgress::diskFullReason() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return WideToUtf8(diskFull_);
}

std::string SyncProgress::WaitingFor(std::chrono::steady_clock::duration& quiet) const {
  std::lock_guard<std::mutex> guard(mutex_);
  quiet = std::chrono::steady_clock::now() - lastLine_;
  return WideToUtf8(waitingFor_);
}

std::vector<std::string> FailureHints(const std::vector<FeedFailure>& failures,
                                      const std::string& serviceUrl) {
  bool noSize = false;
  bool refusedToken = false;
  bool unreachable = false;
  std::vector<int> statuses;
  for (const FeedFailure& failure : failures) {
    // A 0x0 query is refused, and would be once the service answers.
    noSize = noSize || AskedForNoSize(failure.query);
    if (failure.unreachable || failure.status == 0) {
      unreachable = true;
    } else if (failure.status == 401) {
      refusedToken = true;
    } else if (!(failure.status == 400 && AskedForNoSize(failure.query)) &&
               std::find(statuses.begin(), statuses.end(), failure.status) == statuses.end()) {
      statuses.push_back(failure.status);
    }
  }
  std::vector<std::string> hints;
  if (noSize) {
    hints.push_back(
        "no display: the plug-in could not tell the monitor size and asked for 0x0 pictures; "
        "'orvella-host set size WIDTHxHEIGHT' sets the size it asks for without one, or run "
        "it in a desktop session (DISPLAY set)");
  }
  if (refusedToken) {
    hints.push_back("the art service at " + serviceUrl +
                    " refused the signed-in account (HTTP 401): sign in again with "
                    "'orvella-host sign-in'");
  }
  for (const int status : statuses) {
    hints.push_back("the art service at " + serviceUrl + " answered HTTP " +
                    std::to_string(status));
  }
  if (unreachable) {
    hints.push_back("no answer from the art service at " + serviceUrl +
                    " (ORVELLA_SERVER_URL sets another address)");
  }
  return hints;
}

int CommandRun(HostSession& session) {
  StopSignal stop;  // before the worker exists, so it inherits the blocked signals
  SyncProgress progress;
  session.SetLogObserver([&](const std::wstring& line) { progress.Observe(line); });
  if (!StartWorker(session, progress)) return 1;
  if (session.options().verbosity >= 1) {
    std::fprintf(stderr, "orvella-host: running; Ctrl-C stops the plug-in\n");
  }
  stop.Wait();
  PrintStopping();
  session.Close();
  return stop.exitStatus();
}

namespace {

// Reads the folder's record before the pass while holding the folder's lock, so that a
// journal it finds is an interrupted run's and not a running worker's. Returns false,
// having said so, when another worker holds the folder.
bool ReadRecordBefore(const std::string& folder, int verbosity, FolderRecord& before) {
  FolderHandle handle;
  std::wstring problem;
  handle.Open(FsPath(Utf8ToWide(folder)), problem);
  FolderLock lock;  // after the handle: released before it closes
  if (HeldByAnotherWorker(handle, lock)) {
    ShowFolderInUse(folder);
    return false;
  }
  before = ReadFolderRecord(Utf8ToWide(folder));
  ShowBefore(before, folder, verbosity);
  return true;  // the lock goes with `lock`: the plug-in's worker takes it next
}

// Follows the pass until its batch ends, the folder turns out busy or a stop request
// comes. Progress: at once when a feed answers, else at most once a second; and what a
// silent worker waits for. Returns true when interrupted.
bool FollowPass(SyncProgress& progress, StopSignal& stop, int verbosity) {
  std::string shown;
  int feedsShown = -1;
  auto shownAt = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration nextNotice = kQuietNotice;
  bool interrupted = false;
  while (!progress.batchDone() && !progress.folderBusy() && !interrupted) {
    progress.WaitForChange(std::chrono::milliseconds(100));
    interrupted = stop.Wait(std::chrono::milliseconds(0));
    if (interrupted) PrintStopping();
    const std::string now = progress.Describe();
    const int feeds = progress.feedsAnswered();
    const auto time = std::chrono::steady_clock::now();
    if (verbosity >= 1 && now != shown && progress.feedsAsked() > 0 &&
        (feeds != feedsShown || time - shownAt >= std::chrono::seconds(1))) {
      std::fprintf(stderr, "sync: %s\n", now.c_str());
      shown = now;
      feedsShown = feeds;
      shownAt = time;
    }
    if (verbosity >= 1 && !interrupted) ShowWaiting(progress, nextNotice);
  }
  return interrupted;
}

// Names what kept items out of the folder, as far as the plug-in's lines tell.
void ShowItemFailures(const SyncProgress& progress, const std::string& folder, int failed,
                      int verbosity) {
  if (const std::string full = progress.diskFullReason(); !full.empty()) {
    std::fprintf(stderr, "orvella-host: the disk that holds the image folder %s is full (%s)\n",
                 folder.c_str(), full.c_str());
  }
  if (failed > 0 && verbosity < 2) {
    std::fprintf(stderr,
                 "orvella-host: %d items could not be stored; -v shows the plug-in's "
                 "lines about them\n",
                 failed);
  }
}

}  // namespace

int CommandSync(HostSession& session) {
  const std::string folder = session.ReadValue("ImgFolder");
  if (const std::string problem = ImageFolderProblem(folder); !problem.empty()) {
    std::fprintf(stderr, "orvella-host: %s\n", problem.c_str());
    return 1;
  }
  const int verbosity = session.options().verbosity;
  FolderRecord before;
  if (!ReadRecordBefore(folder, verbosity, before)) return 1;
  StopSignal stop;
  SyncProgress progress;
  progress.SetFeedTotal(EnabledFeeds(session.reads()));
  session.SetLogObserver([&](const std::wstring& line) { progress.Observe(line); });
  session.Send(40, 1, 1);  // enabled for this run only; the profile is not written
  if (!StartWorker(session, progress)) return 1;
  const bool interrupted = FollowPass(progress, stop, verbosity);
  session.Close();  // the worker writes the list file as it ends
  if (progress.folderBusy() && !interrupted) {
    // Nothing was downloaded or deleted: there is nothing to count.
    ShowFolderInUse(folder);
    return 1;
  }
  const FolderRecord after = ReadFolderRecord(Utf8ToWide(folder));
  const SyncCounts counts = CountChanges(before, after, progress.FailedItems(after));
  std::printf("sync%s: %d present, %d new, %d failed, %d removed\n",
              interrupted ? " interrupted" : "", counts.present, counts.added, counts.failed,
              counts.removed);
  std::fflush(stdout);
  if (interrupted) return stop.exitStatus();

  const std::string noQuery = NoQueryCause(progress);
  if (!noQuery.empty()) std::fprintf(stderr, "orvella-host: %s\n", noQuery.c_str());
  const std::vector<FeedFailure> failures = progress.failures();
  for (const FeedFailure& failure : failures) {
    std::fprintf(stderr, "orvella-host: feed query failed: %s\n",
                 WideToUtf8(failure.query).c_str());
  }
  for (const std::string& hint : FailureHints(failures, WideToUtf8(ServerBaseUrl()))) {
    std::fprintf(stderr, "orvella-host: %s\n", hint.c_str());
  }
  if (!after.listProblem.empty()) {
    std::fprintf(stderr, "orvella-host: the list file in %s cannot be read: %s\n", folder.c_str(),
                 after.listProblem.c_str());
  }
  ShowItemFailures(progress, folder, counts.failed, verbosity);
  const bool done =
      noQuery.empty() && failures.empty() && counts.failed == 0 && after.listProblem.empty();
  return done ? 0 : 1;
}

}  // namespace orvella::host
