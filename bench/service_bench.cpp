// Benchmarks of the service client: MD5 throughput, the feed query's time and memory
// against the answer's size, and a large body through the transport. bench/
// compare.sh runs them beside md5sum and curl and prints the ratios.
//
// Environment:
//   ORVELLA_BENCH_MD5_FILE  digest this file (default: 256 MB generated in memory)
//   ORVELLA_BENCH_URL       fetch this URL in BM_FetchUrl (default: a 50 MB body from a
//                           server inside this process)
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <malloc.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "base/text_utf8.h"
#include "bench/process_memory.h"
#include "net/http_fetch.h"
#include "service/md5.h"
#include "service/orvella_client.h"
#include "tests/support/body_server.h"
#include "tests/support/small_entry_answer.h"

namespace {

using namespace orvella;
using test::BodyServer;

std::string Md5Input() {
  if (const char* path = std::getenv("ORVELLA_BENCH_MD5_FILE")) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string data(std::size_t{256} << 20, '\0');
  std::mt19937_64 random(1);
  for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
    const uint64_t word = random();
    std::memcpy(&data[i], &word, 8);
  }
  return data;
}

void BM_Md5(benchmark::State& state) {
  static const std::string data = Md5Input();
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  unsigned char digest[16];
  for (auto _ : state) {
    cMD5 md5;
    md5.Init();
    // Pieces as a file reader would hand them over.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    for (std::size_t at = 0; at < data.size(); at += kPiece) {
      md5.Update(bytes + at, static_cast<uint32_t>(std::min(kPiece, data.size() - at)));
    }
    md5.Final(digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  state.SetLabel(hex);  // the script checks it against md5sum's
}
BENCHMARK(BM_Md5)->Unit(benchmark::kMillisecond)->MinTime(2.0);

std::string FeedAnswer(int entries) {
  std::string json = "{\"art\":[";
  for (int i = 0; i < entries; ++i) {
    const std::string id = "item" + std::to_string(i);
    if (i > 0) json += ',';
    json += "{\"name\":\"Picture " + std::to_string(i) + "\",\"filename\":\"" + id +
            ".jpg\",\"wall_url\":\"http://127.0.0.1:8780/img/wall/" + id + "/1920x1080/" + id +
            "-1920x1080.jpg\",\"tags\":[\"nature\",\"blue\"]}";
  }
  return json + "]}";
}

// Entries of `answer` with a URL (as SmallEntryAnswer writes them).
std::size_t CountUrls(const std::string& answer) {
  std::size_t n = 0;
  for (std::size_t at = answer.find("wall_url"); at != std::string::npos;
       at = answer.find("wall_url", at + 1)) {
    ++n;
  }
  return n;
}

// Bytes the allocator has handed out and not taken back, in every arena.
double HeapInUseBytes() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// Time of one feed query of the answer `makeAnswer` gives, the peak memory it takes beyond
// what the process held with the answer prepared, the answer's size and what its items
// take on the heap. The peak only ever grows, so run each case in its own process for the
// memory figure; the time is the mean of warm runs. `expectedItems` is read after
// `makeAnswer` ran, which may set it.
void MeasureQueryFeed(benchmark::State& state, int key, int32_t maxP,
                      const std::function<std::string()>& makeAnswer,
                      const std::size_t& expectedItems) {
  static std::map<int, std::unique_ptr<BodyServer>> servers;
  static std::map<int, std::size_t> bodyBytes;
  static long baseline = 0;
  if (servers.count(key) == 0) {
    std::string answer = makeAnswer();
    bodyBytes[key] = answer.size();
    servers[key] = std::make_unique<BodyServer>(std::move(answer), "application/json");
    bench::ResetPeakRss();
    baseline = bench::StatusKilobytes("VmRSS");
  }
  ::setenv("ORVELLA_SERVER_URL", servers[key]->base().c_str(), 1);
  COrvellaClient client(L"token", L"user");
  COrvellaFeed feed(kFeedTypeWallpapers, maxP, L"");
  for (auto _ : state) {
    if (client.QueryFeed(feed, 1920, 1080) != 1 || feed.items.size() != expectedItems) {
      state.SkipWithError("feed query failed");
      break;
    }
  }
  state.counters["peak_MB"] =
      static_cast<double>(bench::StatusKilobytes("VmHWM") - baseline) / 1024.0;
  state.counters["body_MB"] = static_cast<double>(bodyBytes[key]) / 1048576.0;
  feed.items.clear();
  const double before = HeapInUseBytes();
  client.QueryFeed(feed, 1920, 1080);
  state.counters["items_MB"] = (HeapInUseBytes() - before) / 1048576.0;
}

void BM_QueryFeed(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const auto items = static_cast<std::size_t>(entries);
  MeasureQueryFeed(
      state, entries, entries, [entries] { return FeedAnswer(entries); }, items);
  state.counters["entries"] = entries;
  state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_QueryFeed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// An answer of range(0) MiB of small entries ({"name":"pN"}, every tenth with a URL): the reader's
// cost per entry dominates, and a tree of the whole answer would take many times the body.
void BM_QueryFeedSmallEntries(benchmark::State& state) {
  const auto bytes = static_cast<std::size_t>(state.range(0)) << 20;
  static std::size_t items = 0;
  MeasureQueryFeed(
      state, -static_cast<int>(state.range(0)), 1 << 30,
      [bytes] {
        std::string answer = test::SmallEntryAnswer(bytes, 10);
        items = CountUrls(answer);
        return answer;
      },
      items);
  state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_QueryFeedSmallEntries)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FetchUrl(benchmark::State& state) {
  std::unique_ptr<BodyServer> local;
  std::string url;
  if (const char* given = std::getenv("ORVELLA_BENCH_URL")) {
    url = given;
  } else {
    local = std::make_unique<BodyServer>(std::string(std::size_t{50} << 20, 'x'),
                                         "application/octet-stream");
    url = local->base() + "/body";
  }
  const std::wstring wideUrl = Utf8ToWide(url);
  uint32_t length = 0;
  for (auto _ : state) {
    char* block = nullptr;
    if (FetchUrl(wideUrl, block, length) != 0) {
      state.SkipWithError("fetch failed");
      break;
    }
    std::free(block);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
  state.counters["body_MB"] = length / 1048576.0;
}
BENCHMARK(BM_FetchUrl)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
