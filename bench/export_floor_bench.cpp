// The export against the file system's floor: after an export, the same tree (the same
// folders and files of the same byte sizes) is written again with nothing but mkdir, open,
// write and close. Both start from a removed tree, and the removal is not timed for either;
// the design is loaded before any timing. The two alternate round by round, so that a busy
// machine slows both alike, and the fastest round of each is compared, by wall time (ratio;
// ratio_mean compares the sums of all rounds) and by the process's processor time, user and
// kernel, on all of its threads (ratio_cpu), which a machine shared with other work disturbs
// least, and by the kernel time alone (export_kernel_s, floor_kernel_s): the file system's
// own work. The export writes on a thread of its own beside the one that makes the records,
// so its wall time can be below its processor time; the floor has one thread.
//   TMPDIR=/dev/shm build/tolvane_bench --benchmark_filter='BM_ExportFloor/.*/[52]/'  (tmpfs)
//   TMPDIR=/var/tmp build/tolvane_bench --benchmark_filter='BM_ExportFloor/.*/1/'     (work disk)
// Drive C (and the generated design) lie in $TMPDIR.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "export/export_command.h"
#include "standin/design/design_loader.h"
#include "testing/bench_design.h"
#include "testing/seed.h"

namespace {

namespace fs = std::filesystem;

struct FileToWrite {
  std::string path;
  size_t size;
};

// The tree an export left, in the order of its making: folders before what they hold.
struct Tree {
  std::vector<std::string> folders;
  std::vector<std::vector<FileToWrite>> files;  // files[i] lie in folders[i]
  size_t fileCount = 0;
  size_t largestFile = 0;
};

std::vector<std::string> sortedEntries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.push_back(entry->d_name);
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void addFolder(Tree& tree, const std::string& folder) {
  tree.folders.push_back(folder);
  tree.files.emplace_back();
  std::vector<std::string> subFolders;
  for (const std::string& name : sortedEntries(folder)) {
    const std::string path = folder + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      subFolders.push_back(path);
      continue;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    tree.files.back().push_back({path, size});
    ++tree.fileCount;
    tree.largestFile = std::max(tree.largestFile, size);
  }
  for (const std::string& sub : subFolders) addFolder(tree, sub);
}

// Writes the tree with plain calls; false when any call failed.
bool writeFloor(const Tree& tree, const std::vector<char>& bytes) {
  bool ok = true;
  for (size_t i = 0; i < tree.folders.size(); ++i) {
    ok = ::mkdir(tree.folders[i].c_str(), 0777) == 0 && ok;
    for (const FileToWrite& file : tree.files[i]) {
      const int fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0) {
        ok = false;
        continue;
      }
      ok = ::write(fd, bytes.data(), file.size) == static_cast<ssize_t>(file.size) && ok;
      ok = ::close(fd) == 0 && ok;
    }
  }
  return ok;
}

// Wall time and the process's processor time (user and kernel, all threads) of one piece of
// work. On a machine that other work shares, the processor time is the steadier measure of
// the two. The kernel's share tells the file system's work from the program's own.
struct Spent {
  double wall = 0;
  double cpu = 0;
  double kernel = 0;
};

double processCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double processKernelSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
}

template <typename Work>
Spent spentOn(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = processCpuSeconds();
  const double kernelStart = processKernelSeconds();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          processCpuSeconds() - cpuStart, processKernelSeconds() - kernelStart};
}

// Removes the tree, then waits a moment: the kernel frees removed files and folders after a
// grace period, in the background, and that work would otherwise fall into the timed pass
// that follows, which ever of the two it is.
void removeAndSettle(const std::string& folder) {
  fs::remove_all(folder);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

const char* fileSystemName(const std::string& path) {
  struct statfs info;
  if (::statfs(path.c_str(), &info) != 0) return "unknown";
  return info.f_type == 0x01021994 ? "tmpfs" : "disk";
}

void BM_ExportFloor(benchmark::State& state) {
  const int64_t count = state.range(0);
  const int64_t rounds = state.range(1);
  const std::string path = bench::generatedDesign(count);
  if (path.empty()) return state.SkipWithError("tolvane-gendesign failed");
  host::seed::ScopedDriveC driveC;
  std::string error;
  auto design = host::LoadDesignFile(path, &error);
  if (!design) return state.SkipWithError(error.c_str());
  host::seed::ScopedSession session(std::move(design));
  const std::string mainFolder = driveC.LocalFolder() + "/Temp/" + fs::path(path).stem().string();

  exportCommand(L"");  // makes C:\Temp and shows the tree to copy
  Tree tree;
  addFolder(tree, mainFolder);
  const std::vector<char> bytes(tree.largestFile, 'x');
  Spent bestExport{1e300, 1e300, 1e300}, bestFloor{1e300, 1e300, 1e300}, totalExport, totalFloor;
  for (auto _ : state) {
    for (int64_t round = 0; round < rounds; ++round) {
      removeAndSettle(mainFolder);
      const Spent exported = spentOn([] { exportCommand(L""); });
      removeAndSettle(mainFolder);
      bool ok = true;
      const Spent floor = spentOn([&] { ok = writeFloor(tree, bytes); });
      if (!ok) return state.SkipWithError("the floor's plain calls failed");
      for (auto [best, total, spent] : {std::tuple{&bestExport, &totalExport, exported},
                                        std::tuple{&bestFloor, &totalFloor, floor}}) {
        best->wall = std::min(best->wall, spent.wall);
        best->cpu = std::min(best->cpu, spent.cpu);
        best->kernel = std::min(best->kernel, spent.kernel);
        total->wall += spent.wall;
        total->cpu += spent.cpu;
        total->kernel += spent.kernel;
      }
    }
    state.SetIterationTime(bestExport.wall);
  }
  state.SetLabel(std::string(fileSystemName(mainFolder)) + ", " +
                 std::to_string(tree.folders.size() - 1) + " folders, " +
                 std::to_string(tree.fileCount) + " files");
  state.counters["export_s"] = bestExport.wall;
  state.counters["floor_s"] = bestFloor.wall;
  state.counters["ratio"] = bestExport.wall / bestFloor.wall;
  state.counters["ratio_mean"] = totalExport.wall / totalFloor.wall;
  state.counters["export_cpu_s"] = bestExport.cpu;
  state.counters["floor_cpu_s"] = bestFloor.cpu;
  state.counters["ratio_cpu"] = bestExport.cpu / bestFloor.cpu;
  state.counters["export_kernel_s"] = bestExport.kernel;
  state.counters["floor_kernel_s"] = bestFloor.kernel;
}
// Arguments: elements in the design, rounds of export and floor. One round each is for disks
// whose removal of a large tree between the rounds takes minutes (filter BM_ExportFloor/.*/1/).
BENCHMARK(BM_ExportFloor)
    ->Args({10000, 5})
    ->Args({100000, 2})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
