#include "tools/batch/slurm.h"

#include <gtest/gtest.h>

#include <sstream>

#include "testing/test_support.h"
#include "tools/batch/summary.h"
#include "tools/path_text.h"

namespace {

TEST(SlurmTest, IndicesBecomeTheShortestArraySpecification) {
  const struct {
    std::vector<int> indices;
    std::string ranges;
  } cases[] = {
      {{7}, "7"},
      {{1, 2, 3, 5, 7, 8}, "1-3,5,7-8"},
      {{1, 3, 4, 5, 6, 10000}, "1,3-6,10000"},
  };
  for (const auto& test : cases) EXPECT_EQ(batch::ArrayRanges(test.indices), test.ranges);
}

// The script runs in sh on a node: paths with blanks, quotes or a dollar must arrive as they
// are, and nothing in them may run.
TEST(SlurmTest, ScriptHandsEveryPathOverUnchanged) {
#ifdef _WIN32
  GTEST_SKIP() << "the script is run by /bin/sh, as on a cluster's node";
#endif
  batch::SlurmOptions options;
  options.root = "/shared/it's $HOME `x`";
  options.self = "/opt/tolvane batch/tolvane-batch";
  options.host = "/opt/\"host\"/tolvane-host";
  options.force = true;
  // Run it with the tool replaced by a printf of the arguments it would get.
  std::string text = batch::SlurmScript(options);
  const std::string exec = "exec '" + options.self + "'";
  ASSERT_NE(text.find(exec), std::string::npos) << text;
  text.replace(text.find(exec), exec.size(), "printf '%s\\n'");
  auto run = test_support::RunProcess("/bin/sh", {"-c", text});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test_support::Lines(run.out),
            (std::vector<std::string>{"run-one", "--out", tools::PathText(options.root), "--host",
                                      options.host, "--force"}));
  EXPECT_NE(text.find("#SBATCH --ntasks=1"), std::string::npos);
}

// Designs done before the run count as done but not towards the rate, or the time left
// would come out far too short on a rerun.
TEST(ProgressLineTest, RateAndTimeLeftCountOnlyThisRun) {
  std::ostringstream sink;
  const struct {
    int total, already, finished;
    double seconds;
    std::string text;
  } cases[] = {
      {20, 0, 0, 0, "0 / 20 designs"},
      {20, 0, 10, 60, "10 / 20 designs, 10.0/min, 1:00 left"},
      {100, 90, 5, 30, "95 / 100 designs, 10.0/min, 0:30 left"},
      {10000, 0, 100, 60, "100 / 10000 designs, 100.0/min, 1:39:00 left"},
      {20, 5, 15, 6, "20 / 20 designs, 150.0/min"},
  };
  for (const auto& test : cases) {
    batch::ProgressLine line(sink, false, test.total, test.already);
    EXPECT_EQ(line.Text(test.finished, test.seconds), test.text);
  }
  EXPECT_EQ(sink.str(), "");
}

}  // namespace
