// Loading a design against Json::Reader alone, on designs written by tolvane-gendesign.
// Prints the ratios of time and of peak heap memory: the loader (reading the file, parsing
// and building the design) over Json::Reader (reading the file the same way, then parsing
// it into its document tree).
//
// Peak heap memory is counted by this binary's own malloc family, which stands in front of
// glibc's (__libc_malloc and friends) for every library of the process: while counting is on
// it adds malloc_usable_size of each block handed out and takes it off when the block is
// freed, and keeps the highest sum. Heap bytes are what the work itself holds, unlike the
// resident size, which keeps freed memory that malloc has not given back.
#include <benchmark/benchmark.h>
#include <json/json.h>
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "standin/design/design_loader.h"
#include "standin/files/file_system.h"
#include "testing/bench_design.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_inUse{0};
std::atomic<int64_t> g_peak{0};

void counted(void* block) {
  if (!block || !g_counting.load(std::memory_order_relaxed)) return;
  int64_t now = g_inUse.fetch_add(static_cast<int64_t>(malloc_usable_size(block))) +
                static_cast<int64_t>(malloc_usable_size(block));
  int64_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

void uncounted(void* block) {
  if (block && g_counting.load(std::memory_order_relaxed))
    g_inUse.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)));
}

}  // namespace

extern "C" {
void* malloc(size_t size) {
  void* block = __libc_malloc(size);
  counted(block);
  return block;
}
void* calloc(size_t count, size_t size) {
  void* block = __libc_calloc(count, size);
  counted(block);
  return block;
}
void* realloc(void* block, size_t size) {
  uncounted(block);
  void* moved = __libc_realloc(block, size);
  counted(moved ? moved : (size ? block : nullptr));
  return moved;
}
void free(void* block) {
  uncounted(block);
  __libc_free(block);
}
void* memalign(size_t alignment, size_t size) {
  void* block = __libc_memalign(alignment, size);
  counted(block);
  return block;
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* block = memalign(alignment, size);
  if (!block) return ENOMEM;
  *out = block;
  return 0;
}
}

namespace {

namespace fs = std::filesystem;

// Counts the peak heap bytes of what runs between construction and Peak(), beyond what was
// in use at the start. Blocks freed during the span that were taken before it make the
// in-use sum dip below the start, which only lowers the peak; the spans measured here free
// nothing older than themselves.
class HeapPeak {
 public:
  HeapPeak() {
    g_inUse = 0;
    g_peak = 0;
    g_counting = true;
  }
  ~HeapPeak() { g_counting = false; }
  int64_t Peak() const { return g_peak.load(); }
};

// Wall and processor time since a start, so that a busy machine shows in neither ratio.
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t processor = std::clock();

  void AddTo(double* wallSeconds, double* processorSeconds) const {
    *wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    *processorSeconds += static_cast<double>(std::clock() - processor) / CLOCKS_PER_SEC;
  }
};

// Reads the file and parses it into Json::Reader's document tree; false on a fault.
bool parseWithJsonReader(const std::string& path) {
  std::string text;
  if (!host::CurrentFileSystem().ReadFile(path, &text).ok()) return false;
  Json::Value root;
  Json::Reader reader;
  return reader.parse(text.data(), text.data() + text.size(), root, false);
}

void BM_LoadDesign(benchmark::State& state) {
  std::string path = bench::generatedDesign(state.range(0));
  if (path.empty()) {
    state.SkipWithError("tolvane-gendesign failed");
    return;
  }
  double loadSeconds = 0, readerSeconds = 0, loadCpu = 0, readerCpu = 0;
  int64_t loadPeak = 0, readerPeak = 0;
  for (auto _ : state) {
    std::string error;
    {
      Clock clock;
      HeapPeak heap;
      auto design = host::LoadDesignFile(path, &error);
      clock.AddTo(&loadSeconds, &loadCpu);
      loadPeak = std::max(loadPeak, heap.Peak());
      if (!design) {
        state.SkipWithError(error.c_str());
        return;
      }
    }
    Clock clock;
    HeapPeak heap;
    if (!parseWithJsonReader(path)) {
      state.SkipWithError("Json::Reader refused the design");
      return;
    }
    clock.AddTo(&readerSeconds, &readerCpu);
    readerPeak = std::max(readerPeak, heap.Peak());
  }
  auto iterations = static_cast<double>(state.iterations());
  state.counters["load_ms"] = loadSeconds / iterations * 1e3;
  state.counters["json_reader_ms"] = readerSeconds / iterations * 1e3;
  state.counters["time_ratio"] = loadSeconds / readerSeconds;
  state.counters["cpu_time_ratio"] = loadCpu / readerCpu;
  state.counters["load_peak_MiB"] = static_cast<double>(loadPeak) / (1 << 20);
  state.counters["json_reader_peak_MiB"] = static_cast<double>(readerPeak) / (1 << 20);
  state.counters["peak_ratio"] = static_cast<double>(loadPeak) / static_cast<double>(readerPeak);
  state.counters["file_MiB"] = static_cast<double>(fs::file_size(path)) / (1 << 20);
}
BENCHMARK(BM_LoadDesign)->Arg(20000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
