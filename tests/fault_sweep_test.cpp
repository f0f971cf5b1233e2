// The fault sweep: the export, the import and the save run with the file system failing each
// of their file operations in turn. Whatever fails, the user hears of it, no record file is
// left half-written, and the design on disk always loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "standin/design/design_loader.h"
#include "standin/files/file_system.h"
#include "standin/files/paths.h"
#include "standin/shell/shell.h"
#include "testing/fault_file_system.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using host::testing::FaultInjectingFileSystem;

struct ShellRun {
  int status;
  std::string out, err;
};

// Runs the shell's own code in this process, so that the installed file system applies.
ShellRun runShell(std::vector<std::string> args) {
  std::vector<const char*> argv = {"tolvane-host"};
  const std::string app = test_support::AppPath();
  argv.push_back("--app");
  argv.push_back(app.c_str());
  for (const auto& arg : args) argv.push_back(arg.c_str());
  std::istringstream in;
  std::ostringstream out, err;
  int status = host::RunShell(int(argv.size()), argv.data(), in, out, err, false);
  host::SetDriveCFolder("");
  return ShellRun{status, out.str(), err.str()};
}

// Every file under root with its bytes, by path relative to root.
std::map<std::string, std::string> filesUnder(const std::string& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[fs::relative(entry.path(), root).string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

// Fails operation 1, 2, 3, ... of run() in turn until a run makes fewer operations than the
// one that should fail; check() judges each faulty run. Returns the number of faults swept.
template <typename RunFn, typename CheckFn>
int sweep(RunFn run, CheckFn check) {
  int swept = 0;
  for (uint64_t n = 1;; ++n) {
    FaultInjectingFileSystem faulty;
    faulty.FailNth(n, ENOSPC);
    ShellRun outcome;
    {
      host::ScopedFileSystem installed(faulty);
      outcome = run();
    }
    if (faulty.FaultsInjected() == 0) break;
    SCOPED_TRACE("failed: " + faulty.FailedOperations().front());
    check(outcome);
    ++swept;
  }
  return swept;
}

TEST(FaultSweepTest, TheExportReportsEveryFaultAndWritesNoHalfRecord) {
  test_support::TempFolder temp;
  const std::string drive = temp.Path() + "/c";
  const std::string design = test_support::SourceDir() + "/samples/Walls.dgn";
  auto exportOnce = [&] { return runShell({"--drive-c", drive, design, "tolvane export"}); };
  const ShellRun clean = exportOnce();
  ASSERT_EQ(clean.status, 0) << clean.err;
  const auto expected = filesUnder(drive + "/Temp/Walls");
  ASSERT_FALSE(expected.empty());

  const int swept = sweep(exportOnce, [&](const ShellRun& run) {
    const auto written = filesUnder(drive + "/Temp/Walls");
    for (const auto& [path, bytes] : written) {
      ASSERT_TRUE(expected.count(path)) << path;
      EXPECT_EQ(bytes, expected.at(path)) << path << " is not the whole record";
    }
    const bool reported = run.status != 0 || run.out != clean.out;
    if (!reported) {
      EXPECT_EQ(written, expected) << "a fault lost records without a word";
    }
  });
  EXPECT_GT(swept, 10);
  std::cout << "[ sweep    ] export: " << swept << " faults\n";
}

TEST(FaultSweepTest, TheImportAndItsSaveKeepADesignThatLoads) {
  test_support::TempFolder temp;
  const std::string drive = temp.Path() + "/c";
  const ShellRun exported = runShell(
      {"--drive-c", drive, test_support::SourceDir() + "/samples/Walls.dgn", "tolvane export"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const std::string empty = R"({ "models": [ { "name": "Default", "uorPerMeter": 10000 } ] })";
  const std::string design = temp.WriteFile("Empty.dgn", empty);
  auto importOnce = [&] {
    std::ofstream(design, std::ios::binary | std::ios::trunc) << empty;
    return runShell({"--drive-c", drive, "--save", design, "tolvane import C:\\Temp\\Walls"});
  };
  const ShellRun clean = importOnce();
  ASSERT_EQ(clean.status, 0) << clean.err;
  const auto saved = filesUnder(temp.Path());

  const int swept = sweep(importOnce, [&](const ShellRun& run) {
    std::string error;
    EXPECT_NE(host::LoadDesignFile(design, &error), nullptr) << error;
    const auto now = filesUnder(temp.Path());
    const bool reported = run.status != 0 || run.out != clean.out;
    if (!reported) {
      EXPECT_EQ(now, saved) << "a fault lost elements without a word";
    }
    for (const auto& [path, bytes] : now)
      EXPECT_EQ(path.find(".saving-"), std::string::npos) << "a temporary file is left";
  });
  EXPECT_GT(swept, 5);
  std::cout << "[ sweep    ] import and save: " << swept << " faults\n";
}

}  // namespace
