// Benchmarks of the download engine: the list file of 100,000 entries written and read
// back, against a plain write / getline loop over the same lines (into a vector, and into
// a map as the engine reads them), and the engine's map alone; and the name test of a
// download (BuildLocalName) alone.
// bench/compare.sh runs them and prints the ratios.
//
// Environment:
//   ORVELLA_BENCH_FOLDER  the folder the files go to (default: a folder in the temporary
//                         directory)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text_utf8.h"
#include "bench/process_memory.h"
#include "engine/image_folder.h"
#include "engine/orvella_engine.h"
#include "host/orvella_app.h"

namespace {

using namespace orvella;

std::filesystem::path BenchFolder() {
  const char* given = std::getenv("ORVELLA_BENCH_FOLDER");
  const auto folder = given != nullptr
                          ? std::filesystem::path(given)
                          : std::filesystem::temp_directory_path() / "orvella-engine-bench";
  std::filesystem::create_directories(folder);
  return folder;
}

std::wstring Url(int i) {
  return L"http://127.0.0.1:8780/img/wall/item-" + std::to_wstring(i) + L"/1920x1080/item-" +
         std::to_wstring(i) + L"-1920x1080.jpg";
}
std::wstring Name(int i) {
  return L"item-" + std::to_wstring(i) + L"-1920x1080.jpg";
}

// The list's lines as the plain loops write them: URL and name of each entry, in UTF-8.
std::vector<std::string> PlainLines(int entries) {
  std::vector<std::string> lines;
  for (int i = 0; i < entries; ++i) {
    lines.push_back(WideToUtf8(Url(i)));
    lines.push_back(WideToUtf8(Name(i)));
  }
  return lines;
}

// Writes the list file's header and `lines` with a plain stream, as the plain loops do.
void WritePlainList(const std::filesystem::path& path, int entries,
                    const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "[Rovanta Orvella List]\r\n" << entries << "\r\n";
  for (const std::string& line : lines) out << line << "\r\n";
}

void BM_ListFileEngine(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  COrvellaApp app;
  app.settings.ImgFolder = Utf8ToWide(BenchFolder().string());
  COrvellaEngine& engine = app.engine;
  for (int i = 0; i < entries; ++i) engine.files.Set(CFileData{Name(i), Url(i), L"", 1});
  for (auto _ : state) {
    // Reading replaces the map with what was written: the next round writes it again.
    if (!engine.WriteLocalFileList()) state.SkipWithError("write failed");
    engine.ReadLocalFileList();
    if (engine.files.GetCount() != static_cast<std::size_t>(entries)) {
      state.SkipWithError("read back less");
    }
  }
  state.SetItemsProcessed(state.iterations() * entries);
}

void BM_ListFilePlain(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const auto path = BenchFolder() / "plain.lst";
  const std::vector<std::string> lines = PlainLines(entries);
  for (auto _ : state) {
    WritePlainList(path, entries, lines);
    std::vector<std::string> read;
    read.reserve(lines.size() + 2);
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) read.push_back(line);
    if (read.size() != lines.size() + 2) state.SkipWithError("read back less");
    benchmark::DoNotOptimize(read);
  }
  state.SetItemsProcessed(state.iterations() * entries);
}

// The plain loop again, its lines read into a hash map of URL to name as the engine
// reads them into its records: the same bytes and records, in narrow strings and one map
// entry per pair instead of the engine's wide key, URL and name.
void BM_ListFilePlainMap(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const auto path = BenchFolder() / "plain.lst";
  const std::vector<std::string> lines = PlainLines(entries);
  for (auto _ : state) {
    WritePlainList(path, entries, lines);
    std::unordered_map<std::string, std::string> read;
    read.rehash(2 * static_cast<std::size_t>(entries) + 1);
    std::ifstream in(path, std::ios::binary);
    std::string url;
    std::string name;
    std::getline(in, url);
    std::getline(in, url);
    while (std::getline(in, url) && std::getline(in, name)) read.insert_or_assign(url, name);
    if (read.size() != static_cast<std::size_t>(entries)) state.SkipWithError("read back less");
    benchmark::DoNotOptimize(read);
  }
  state.SetItemsProcessed(state.iterations() * entries);
}

// The engine's map alone: the same 100,000 records, already decoded, copied into a fresh
// map of the engine's type sized as the reader sizes it, and freed again: what a first
// reading of the list costs beyond decoding (later readings refill the records in memory).
void BM_ListFileMapOnly(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  std::vector<std::wstring> urls;
  std::vector<std::wstring> names;
  for (int i = 0; i < entries; ++i) {
    urls.push_back(Url(i));
    names.push_back(Name(i));
  }
  for (auto _ : state) {
    CFileMap files;
    files.InitHashTable(2 * static_cast<std::size_t>(entries) + 1);
    for (int i = 0; i < entries; ++i) files.Set(CFileData{names[i], urls[i], {}, 0});
    benchmark::DoNotOptimize(files);
  }
  state.SetItemsProcessed(state.iterations() * entries);
}

void BM_ListFileEngineWrite(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  COrvellaApp app;
  app.settings.ImgFolder = Utf8ToWide(BenchFolder().string());
  for (int i = 0; i < entries; ++i) app.engine.files.Set(CFileData{Name(i), Url(i), L"", 1});
  for (auto _ : state) app.engine.WriteLocalFileList();
}

void BM_ListFileEngineRead(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  COrvellaApp app;
  app.settings.ImgFolder = Utf8ToWide(BenchFolder().string());
  for (int i = 0; i < entries; ++i) app.engine.files.Set(CFileData{Name(i), Url(i), L"", 1});
  app.engine.WriteLocalFileList();
  for (auto _ : state) app.engine.ReadLocalFileList();
}

// The name a download gets, with the test creation that proves the name usable: a file
// created and removed in the image folder, once per downloaded item.
void BM_BuildLocalName(benchmark::State& state) {
  COrvellaApp app;
  app.settings.ImgFolder = Utf8ToWide(BenchFolder().string());
  int i = 0;
  std::wstring path;
  std::wstring name;
  for (auto _ : state) {
    if (!app.engine.BuildLocalName(Url(i++), path, name)) state.SkipWithError("name refused");
  }
}

// The journal's replay at a worker's start, after a crash: 16 MiB of it, either line ends
// alone (what a damaged or planted journal may hold) or whole entries of files that are
// gone. Time, and the peak memory beyond the journal's bytes, which the reading holds once.
void BM_ReplayJournal(benchmark::State& state) {
  const bool entries = state.range(0) != 0;
  const std::filesystem::path folder = BenchFolder() / "journal";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::string journal;
  constexpr std::size_t kBytes = std::size_t{16} << 20;
  while (journal.size() < kBytes) {
    if (!entries) {
      journal.append(kBytes, '\n');
      break;
    }
    EncodeJournalEntry({JournalKind::kRemoved, Url(static_cast<int>(journal.size())), L"x.jpg"},
                       journal);
  }
  std::ofstream(folder / "rvt_orv_files.lst.jnl", std::ios::binary) << journal;
  const std::size_t size = journal.size();
  journal = std::string();
  const std::wstring path = Utf8ToWide(folder.string());
  CFileMap files;
  bench::ResetPeakRss();
  const long baseline = bench::StatusKilobytes("VmRSS");
  std::size_t replayed = 0;
  for (auto _ : state) replayed = LoadFolderRecord(path, files).replay.entries;
  state.counters["peak_MB"] =
      static_cast<double>(bench::StatusKilobytes("VmHWM") - baseline) / 1024.0;
  state.counters["journal_MB"] = static_cast<double>(size) / 1048576.0;
  state.counters["entries"] = static_cast<double>(replayed);
  std::filesystem::remove_all(folder);
}

BENCHMARK(BM_BuildLocalName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReplayJournal)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ListFileEngineWrite)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFileEngineRead)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFileEngine)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFilePlain)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFilePlainMap)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFileMapOnly)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
