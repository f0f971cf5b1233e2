// The export at scale: designs of many elements written by tolvane-gendesign, exported into
// a temporary drive C. Reports elements per second and the export's peak memory beyond what
// the loaded design already holds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "export/export_command.h"
#include "standin/design/design_loader.h"
#include "testing/bench_design.h"
#include "testing/seed.h"

namespace {

namespace fs = std::filesystem;

// A /proc/self/status field in KiB, or -1.
long statusKib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0)
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  return -1;
}

// Resets the peak resident size to the current one, so that VmHWM afterwards tells the
// peak of what follows.
bool resetPeakMemory() {
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
  return static_cast<bool>(clearRefs.flush());
}

void BM_Export(benchmark::State& state) {
  const int64_t count = state.range(0);
  std::string path = bench::generatedDesign(count);
  if (path.empty()) {
    state.SkipWithError("tolvane-gendesign failed");
    return;
  }
  host::seed::ScopedDriveC driveC;
  std::string error;
  auto design = host::LoadDesignFile(path, &error);
  if (!design) {
    state.SkipWithError(error.c_str());
    return;
  }
  host::seed::ScopedSession session(std::move(design));
  long loaded = statusKib("VmRSS");
  bool peakReset = resetPeakMemory();
  for (auto _ : state) exportCommand(L"");
  long peak = statusKib("VmHWM");
  if (peakReset && loaded > 0 && peak > 0)
    state.counters["export_peak_MiB"] = static_cast<double>(peak - loaded) / 1024.0;
  state.counters["loaded_MiB"] = static_cast<double>(loaded) / 1024.0;
  state.counters["elements_per_s"] =
      benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Export)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
