// How long each kind of request takes to end once it is asked to stop, at each point where
// a service can leave it waiting: connecting (full listen backlog), before the answer's
// headers, in the middle of the body, and while the body drips in at two bytes a second.
// Prints a Markdown table (median and worst of a few runs, in milliseconds).
//
//   stop_latency [RUNS [ROW]]   (RUNS per cell, default 3; ROW: only rows naming it)
//
// Rows: an image download (the stop flag), a feed query (the stop flag), the sign-in
// (Cancel), and through the loaded module with its worker in a feed query: message 10 and
// the module's unload. A second table has the module's worker in long local work: reading
// a 16 MiB feed answer of small entries that arrived whole, reading a list of a million
// entries, replaying a journal of 16 MiB of line ends, and the batch end of a list of a
// million entries. Goal: every entry under one second.
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/text_utf8.h"
#include "base/write_log.h"
#include "engine/download_image.h"
#include "service/orvella_client.h"
#include "tests/support/body_server.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/small_entry_answer.h"
#include "tests/support/stalled_service.h"
#include "tests/support/temp_dir.h"
#include "ui/authorizer.h"
#include "ui/sign_in_request.h"

namespace orvella::test {
namespace {

using Clock = std::chrono::steady_clock;

void SetServer(const std::string& base) {
  ::setenv("ORVELLA_SERVER_URL", base.c_str(), 1);
}

double Milliseconds(Clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

// One stop of a request made with `run`, which blocks until the request ended: the time
// from setting the flag to its return.
double StopOnce(StalledService& stalled,
                const std::function<void(const std::atomic<int32_t>&)>& run) {
  std::atomic<int32_t> stop{0};
  Clock::time_point ended;
  std::thread request([&] {
    run(stop);
    ended = Clock::now();
  });
  stalled.WaitUntilStalled();
  const Clock::time_point asked = Clock::now();
  stop.store(1);
  request.join();
  return Milliseconds(ended - asked);
}

double DownloadStop(StallPoint point) {
  StalledService stalled(point, "/img/x.jpg");
  TempDir folder;
  const std::wstring url = Utf8ToWide(stalled.BaseUrl()) + L"/img/x.jpg";
  const std::wstring target = Utf8ToWide((folder.path() / "x.jpg").string());
  return StopOnce(stalled,
                  [&](const std::atomic<int32_t>& stop) { DownloadImage(url, target, &stop); });
}

double FeedQueryStop(StallPoint point) {
  StalledService stalled(point, "/api/v3/art/");
  SetServer(stalled.BaseUrl());
  return StopOnce(stalled, [](const std::atomic<int32_t>& stop) {
    COrvellaClient client(L"", L"", &stop);
    COrvellaFeed feed(kFeedTypeWallpapers, 20, L"");
    client.QueryFeed(feed, 1920, 1080);
  });
}

double SignInCancel(StallPoint point) {
  StalledService stalled(point, "/api/v3/user/");
  SetServer(stalled.BaseUrl());
  CSignInRequest request(ServiceAuthorizer(), L"", L"", L"ada@orvella.test", L"secret");
  stalled.WaitUntilStalled();
  const Clock::time_point asked = Clock::now();
  request.Cancel();
  while (!request.Done()) std::this_thread::sleep_for(std::chrono::microseconds(100));
  return Milliseconds(Clock::now() - asked);
}

// Starts the module with one feed against the service at `base`, waits with `busy` until
// its worker is where the row measures, then stops the worker (message 10) or unloads the
// module. Returns the time that took.
double StopWorkerWhen(const std::string& base, const std::function<void(const FakeHost&)>& busy,
                      bool unload, const std::function<void(const TempDir&)>& prepare = {}) {
  SetServer(base);
  ScopedConfigHome config;
  TempDir folder;
  if (prepare) prepare(folder);
  FakeHost host;
  host.SetOneFeedProfile(Utf8ToWide(folder.path().string()));
  LoadedModule module;
  module.Send(3, FakeHost::callbackArg());
  module.Send(7);
  module.Send(9);
  busy(host);
  const Clock::time_point asked = Clock::now();
  if (unload) {
    module.Unload();
  } else {
    module.Send(10, 0, 1);
  }
  return Milliseconds(Clock::now() - asked);
}

// The module with its worker waiting in a feed query stalled at `point`.
double ModuleStop(StallPoint point, bool unload) {
  StalledService stalled(point, "/api/v3/art/");
  return StopWorkerWhen(
      stalled.BaseUrl(),
      [&](const FakeHost& host) {
        while (host.CountLogs(L"QueryFeed: ") == 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stalled.WaitUntilStalled();
      },
      unload);
}

// The module with its worker reading a 16 MiB answer that arrived whole (asked a moment
// after its last byte went out).
double AnswerReadStop(bool unload) {
  static const std::string answer = SmallEntryAnswer(std::size_t{16} << 20, 10);
  BodyServer service(answer, "application/json");
  return StopWorkerWhen(
      service.base(),
      [&](const FakeHost&) {
        while (!service.Sent()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the last bytes arrive
      },
      unload);
}

// A list file of `entries` records whose files are gone: the worker reads it whole at its
// start, and a batch end forgets every record no feed offered.
std::string LongList(int entries) {
  std::string list = "\xEF\xBB\xBF[Rovanta Orvella List]\r\n" + std::to_string(entries) + "\r\n";
  for (int i = 0; i < entries; ++i)
    list += "http://h/gone/" + std::to_string(i) + ".jpg\r\n" + std::to_string(i) + ".jpg\r\n";
  return list;
}

// The module with its worker in the image folder's own work: reading a list of a million
// entries, replaying a journal of 16 MiB of line ends, or ending a batch that forgets a
// million records (after the one picture the feed offers).
double FolderWorkStop(const std::string& kind, bool unload) {
  static const std::string list = LongList(1000000);
  static const std::string journal(std::size_t{16} << 20, '\n');
  static const std::string answer =
      R"({"art":[{"name":"a","filename":"a","wall_url":"http://127.0.0.1:1/none.jpg"}]})";
  BodyServer service(answer, "application/json");
  const auto prepare = [&](const TempDir& folder) {
    if (kind != "journal") folder.Write("rvt_orv_files.lst", list);
    if (kind == "journal") folder.Write("rvt_orv_files.lst.jnl", journal);
  };
  const auto busy = [&](const FakeHost& host) {
    // The list's read and the journal's replay come first; the batch end after the one
    // download, which fails at once.
    const std::wstring mark = kind == "batch end" ? L"DownloadImage(), " : L"COrvellaThread::Start";
    while (host.CountLogs(mark) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(kind == "batch end" ? 100 : 20));
  };
  return StopWorkerWhen(service.base(), busy, unload, prepare);
}

struct Row {
  const char* name;
  std::function<double(StallPoint)> measure;
};

std::string Cell(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  char text[64];
  std::snprintf(text, sizeof text, "%.0f / %.0f", samples[samples.size() / 2], samples.back());
  return text;
}

}  // namespace
}  // namespace orvella::test

int main(int argc, char** argv) {
  using namespace orvella::test;
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  // The requests' log lines are not wanted here; the module's go to the fake host.
  orvella::SetLogCallback(nullptr);
  const std::vector<Row> rows = {
      {"image download (stop flag)", &DownloadStop},
      {"feed query (stop flag)", &FeedQueryStop},
      {"sign-in (Cancel)", &SignInCancel},
      {"message 10, worker in a feed query", [](StallPoint p) { return ModuleStop(p, false); }},
      {"module unload, worker in a feed query", [](StallPoint p) { return ModuleStop(p, true); }},
  };
  std::printf("| request (ms: median / worst of %d) |", runs);
  for (const StallPoint point : kStallPoints) std::printf(" %s |", StallName(point));
  std::printf("\n|---|---|---|---|---|\n");
  double worst = 0;
  for (const Row& row : rows) {
    if (argc > 2 && std::string(row.name).find(argv[2]) == std::string::npos) continue;
    std::printf("| %s |", row.name);
    for (const StallPoint point : kStallPoints) {
      std::vector<double> samples;
      for (int i = 0; i < runs; ++i) samples.push_back(row.measure(point));
      worst = std::max(worst, *std::max_element(samples.begin(), samples.end()));
      std::printf(" %s |", Cell(samples).c_str());
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  const std::vector<std::pair<const char*, std::function<double()>>> localRows = {
      {"message 10, worker reading a 16 MiB answer", [] { return AnswerReadStop(false); }},
      {"module unload, worker reading a 16 MiB answer", [] { return AnswerReadStop(true); }},
      {"message 10, worker reading a 1,000,000-entry list",
       [] { return FolderWorkStop("list", false); }},
      {"module unload, worker reading a 1,000,000-entry list",
       [] { return FolderWorkStop("list", true); }},
      {"message 10, worker replaying a 16 MiB journal",
       [] { return FolderWorkStop("journal", false); }},
      {"module unload, worker replaying a 16 MiB journal",
       [] { return FolderWorkStop("journal", true); }},
      {"message 10, worker in the batch end of a 1,000,000-entry list",
       [] { return FolderWorkStop("batch end", false); }},
      {"module unload, worker in the batch end of a 1,000,000-entry list",
       [] { return FolderWorkStop("batch end", true); }},
  };
  std::printf("\n| long local work (ms: median / worst of %d) | stop |\n|---|---|\n", runs);
  for (const auto& [name, measure] : localRows) {
    if (argc > 2 && std::string(name).find(argv[2]) == std::string::npos) continue;
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) samples.push_back(measure());
    worst = std::max(worst, *std::max_element(samples.begin(), samples.end()));
    std::printf("| %s | %s |\n", name, Cell(samples).c_str());
    std::fflush(stdout);
  }
  std::printf("\nworst: %.0f ms (goal: under 1000 ms)\n", worst);
  return worst < 1000 ? 0 : 1;
}
