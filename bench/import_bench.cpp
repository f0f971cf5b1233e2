// The import against Json::Reader alone. A design of N elements written by tolvane-gendesign
// is exported into a temporary drive C; then, in each iteration, its geometry records are
// imported into an empty design (opening that design is not timed), and the same files'
// texts, read beforehand, are parsed by Json::Reader, then read by the import's geo reader.
// ratio_vs_jsoncpp is the import's time over Json::Reader's; geo_reader_vs_jsoncpp the geo
// reader's alone over Json::Reader's; each the best of five iterations.
//   TMPDIR=/dev/shm build/tolvane_bench --benchmark_filter=Import
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "export/export_command.h"
#include "import/geo_reader.h"
#include "import/mesh_import.h"
#include "standin/design/design.h"
#include "standin/design/design_loader.h"
#include "standin/shell/session.h"
#include "testing/bench_design.h"
#include "testing/seed.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Exports the design at path; returns the local path of its main output folder, or empty.
std::string exportDesign(const std::string& path, const host::seed::ScopedDriveC& driveC) {
  std::string error;
  auto design = host::LoadDesignFile(path, &error);
  if (!design) return std::string();
  host::seed::ScopedSession session(std::move(design));
  exportCommand(L"");
  return (fs::path(driveC.LocalFolder()) / "Temp" / fs::path(path).stem()).string();
}

std::vector<std::string> recordTexts(const std::string& folder) {
  std::vector<std::string> texts;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::ifstream file(entry.path() / "geo.json", std::ios::binary);
    if (file)
      texts.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  return texts;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

void BM_ImportVsJsonReader(benchmark::State& state) {
  const std::string path = bench::generatedDesign(state.range(0));
  host::seed::ScopedDriveC driveC;
  const std::string folder = path.empty() ? std::string() : exportDesign(path, driveC);
  if (folder.empty()) {
    state.SkipWithError("no design to export");
    return;
  }
  const std::vector<std::string> texts = recordTexts(folder);
  const std::wstring windowsFolder = L"C:\\Temp\\" + fs::path(path).stem().wstring();
  // The best of the iterations of each, so that a burst of load on a shared machine in one
  // of them does not decide the ratio.
  double importTime = 1e300;
  double readerTime = 1e300;
  double scanTime = 1e300;
  size_t bytes = 0;
  for (auto _ : state) {
    host::seed::DesignBuilder builder;
    builder.AddModel("Default", 10000);
    auto session = std::make_unique<host::seed::ScopedSession>(builder.Release());
    Clock::time_point start = Clock::now();
    importCommand(windowsFolder.c_str());
    const double imported = seconds(Clock::now() - start);
    const size_t elements = host::Session::Current().ActiveDesign()->ActiveModel()->elements.size();
    session.reset();
    if (elements != texts.size()) {
      state.SkipWithError("the import did not add one element per record");
      return;
    }
    start = Clock::now();
    for (const std::string& text : texts) {
      Json::Value document;
      Json::Reader reader;
      benchmark::DoNotOptimize(
          reader.parse(text.data(), text.data() + text.size(), document, false));
      bytes += text.size();
    }
    readerTime = std::min(readerTime, seconds(Clock::now() - start));
    start = Clock::now();
    for (const std::string& text : texts) {
      GeoRecord record;
      benchmark::DoNotOptimize(readGeoRecord(text, &record));
    }
    scanTime = std::min(scanTime, seconds(Clock::now() - start));
    importTime = std::min(importTime, imported);
    state.SetIterationTime(imported);
  }
  state.counters["records"] = static_cast<double>(texts.size());
  state.counters["import_s"] = importTime;
  state.counters["jsoncpp_s"] = readerTime;
  state.counters["ratio_vs_jsoncpp"] = importTime / readerTime;
  state.counters["geo_reader_vs_jsoncpp"] = scanTime / readerTime;
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ImportVsJsonReader)
    ->Arg(2000)
    ->Arg(20000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
