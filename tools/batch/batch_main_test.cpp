// The tool as a person runs it, with the built tolvane-host: a batch of good and bad designs,
// reruns, an interrupted design, and a Slurm that says nothing ran.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif

#include <filesystem>

#include "testing/test_support.h"
#include "tools/batch/completion.h"
#include "tools/batch/text_files.h"
#include "tools/path_text.h"

namespace {

namespace fs = std::filesystem;
using test_support::ProcessResult;
using test_support::RunProcess;
using test_support::TempFolder;

ProcessResult batchTool(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env = {}) {
  return RunProcess(TOLVANE_BATCH, args, env);
}

std::string contents(const fs::path& path) {
  std::string text;
  batch::ReadFile(path, &text);
  return text;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A folder with the sample design (and its attachment) in a/ and b/, both named Site.dgn.
class BatchToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"a", "b"}) {
      fs::create_directories(dir() / folder);
      for (const char* name : {"Site.dgn", "Walls.dgn"})
        fs::copy_file(test_support::SourceDir() + "/samples/" + name, dir() / folder / name);
    }
    m_temp.WriteFile("c/Broken.dgn", "{ \"models\": [ { \"name\": \"Default\" }\n");
  }
  fs::path dir() const { return m_temp.Path(); }
  std::string root() const { return tools::PathText(dir() / "out"); }
  fs::path design(int index) const {
    char name[32];
    std::snprintf(name, sizeof name, "designs/%06d", index);
    return dir() / "out" / name;
  }
  std::string writeList(const std::string& text) const {
    return m_temp.WriteFile("list.txt", text);
  }
  // The digest of the sample exported directly, as a user would without the batch.
  std::string directDigest() const {
    auto direct = test_support::RunShell({"--drive-c", tools::PathText(dir() / "direct"),
                                          tools::PathText(dir() / "a/Site.dgn"), "tolvane export"});
    EXPECT_EQ(direct.exitCode, 0) << direct.err;
    std::string digest, error;
    int64_t files = 0, elements = 0;
    EXPECT_TRUE(batch::TreeDigest(dir() / "direct/Temp/Site", &digest, &files, &elements, &error))
        << error;
    return "sha256:" + digest;
  }

  TempFolder m_temp;
};

// Every line of the list is a design of its own: the bad ones fail one by one with the cause,
// the good ones come out as a direct export does, each in its own drive C.
TEST_F(BatchToolTest, BadLinesFailOneByOneAndGoodDesignsMatchADirectExport) {
#ifdef _WIN32
  GTEST_SKIP() << "a FIFO and /bin/sh, which Windows lacks";
#endif
#ifndef _WIN32  // the test is skipped there
  ASSERT_EQ(mkfifo((dir() / "Pipe.dgn").c_str(), 0600), 0);
#endif
  const std::string list = writeList(
      "a/Site.dgn\nb/Site.dgn\nc/Broken.dgn\nMissing.dgn\na\n"
      "Pipe.dgn\nBad\xFF.dgn\n");
  auto run = RunProcess("/bin/sh", {"-c",
                                    "cd \"$1\" && exec \"$2\" run list.txt --out out "
                                    "--jobs 2",
                                    "sh", tools::PathText(dir()), TOLVANE_BATCH});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_TRUE(contains(run.out, "7 designs: 2 done, 5 failed, 0 missing")) << run.out;
  const struct {
    int index;
    std::string reason;
  } failures[] = {
      {3, "failed 3 " + tools::PathText(dir() / "c/Broken.dgn") + ": "},
      {4, "failed 4 " + tools::PathText(dir() / "Missing.dgn") + ": no such file"},
      {5, "failed 5 " + tools::PathText(dir() / "a") + ": is a folder"},
      {6, "failed 6 " + tools::PathText(dir() / "Pipe.dgn") + ": is not a regular file"},
      {7, "failed 7 Bad\\xFF.dgn: line 7 of list.txt is not valid UTF-8"},
  };
  for (const auto& failure : failures) {
    EXPECT_TRUE(contains(run.out, failure.reason)) << failure.reason << "\n" << run.out;
    EXPECT_FALSE(fs::exists(design(failure.index) / "done.json"));
  }
  EXPECT_TRUE(contains(contents(design(3) / "failed.json"), "Broken.dgn"));
  EXPECT_TRUE(contains(run.err, "list.txt:4: ")) << run.err;

  const std::string expected = directDigest();
  for (int index : {1, 2}) {
    const std::string record = contents(design(index) / "done.json");
    EXPECT_TRUE(contains(record, "\"digest\" : \"" + expected + "\"")) << record;
    EXPECT_TRUE(fs::is_directory(design(index) / "drive_c/Temp/Site"));
  }
}

// After the one bad design is mended, a rerun exports it alone: the others' records stay as
// they were, byte for byte.
TEST_F(BatchToolTest, RerunAfterAFixExportsOnlyTheFailedDesign) {
  const std::string list = writeList("a/Site.dgn\nc/Broken.dgn\nb/Site.dgn\n");
  auto first = batchTool({"run", list, "--out", root(), "--jobs", "2"});
  ASSERT_EQ(first.exitCode, 1) << first.out << first.err;
  const std::string kept1 = contents(design(1) / "done.json");
  const std::string kept3 = contents(design(3) / "done.json");
  ASSERT_FALSE(kept1.empty());

  auto summary = batchTool({"summary", "--out", root()});
  EXPECT_EQ(summary.exitCode, 1);
  EXPECT_TRUE(contains(summary.out, "3 designs: 2 done, 1 failed, 0 missing")) << summary.out;
  auto planned = batchTool({"plan", list, "--out", root()});
  EXPECT_EQ(planned.out, "2\n");

  fs::remove(dir() / "c/Broken.dgn");  // mingw's copy_file can't overwrite
  fs::copy_file(dir() / "a/Walls.dgn", dir() / "c/Broken.dgn");
  auto second = batchTool({"run", list, "--out", root(), "--jobs", "2"});
  EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_TRUE(contains(second.out, "3 designs: 3 done, 0 failed, 0 missing")) << second.out;
  EXPECT_EQ(contents(design(1) / "done.json"), kept1);
  EXPECT_EQ(contents(design(3) / "done.json"), kept3);
  EXPECT_FALSE(fs::exists(design(2) / "failed.json"));
}

// A done design is skipped unless --force; with --force it is exported again, so a host that
// fails now leaves it failed, not done. (The failing host is tolvane-gltf without arguments,
// which exits with status 1 on every platform.)
TEST_F(BatchToolTest, DoneDesignIsSkippedUnlessForced) {
  const std::string list = writeList("a/Site.dgn\n");
  ASSERT_EQ(batchTool({"plan", list, "--out", root()}).exitCode, 0);
  auto done = batchTool({"run-one", "--out", root(), "--index", "1"});
  ASSERT_EQ(done.exitCode, 0) << done.out << done.err;
  const std::string record = contents(design(1) / "done.json");

  auto skipped = batchTool({"run-one", "--out", root(), "--index", "1", "--host", TOLVANE_GLTF});
  EXPECT_EQ(skipped.exitCode, 0);
  EXPECT_TRUE(contains(skipped.out, "already done, skipped")) << skipped.out;
  EXPECT_EQ(contents(design(1) / "done.json"), record);

  auto forced =
      batchTool({"run-one", "--out", root(), "--index", "1", "--host", TOLVANE_GLTF, "--force"});
  EXPECT_EQ(forced.exitCode, 1);
  EXPECT_TRUE(contains(forced.out, "tolvane-host exited with status 1")) << forced.out;
  EXPECT_FALSE(fs::exists(design(1) / "done.json"));
  EXPECT_TRUE(fs::exists(design(1) / "failed.json"));
}

// A run-one killed in the middle leaves no record, also when the design was done before, so
// the batch counts it missing and the next run picks it up (here by its Slurm task index).
TEST_F(BatchToolTest, KilledRunOneLeavesNoRecordAndIsPickedUpAgain) {
#ifdef _WIN32
  GTEST_SKIP() << "a shell script kills its parent, as Windows can't";
#endif
  const std::string list = writeList("a/Site.dgn\n");
  ASSERT_EQ(batchTool({"run", list, "--out", root()}).exitCode, 0);
  const std::string killer = m_temp.WriteFile("killer.sh", "#!/bin/sh\nkill -KILL $PPID\n");
  fs::permissions(killer, fs::perms::owner_all);

  auto killed =
      batchTool({"run-one", "--out", root(), "--index", "1", "--force", "--host", killer});
  EXPECT_EQ(killed.exitCode, -9);
  EXPECT_FALSE(fs::exists(design(1) / "done.json"));
  EXPECT_FALSE(fs::exists(design(1) / "failed.json"));
  auto summary = batchTool({"summary", "--out", root()});
  EXPECT_EQ(summary.exitCode, 1);
  EXPECT_TRUE(contains(summary.out, "1 designs: 0 done, 0 failed, 1 missing")) << summary.out;

  auto again = batchTool({"run-one", "--out", root()}, {{"SLURM_ARRAY_TASK_ID", "1"}});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(batchTool({"summary", "--out", root()}).exitCode, 0);
}

// A Slurm whose tasks never run (as with a process tracking that fails silently) still says
// the job went well; the batch goes by the records and reports the design missing. The
// array holds only the designs not yet done.
TEST_F(BatchToolTest, SlurmSubmitsOnlyPendingDesignsAndTrustsOnlyRecords) {
#ifdef _WIN32
  GTEST_SKIP() << "sbatch and squeue stand-ins are shell scripts";
#endif
  const std::string list = writeList("a/Site.dgn\nb/Site.dgn\n");
  ASSERT_EQ(batchTool({"plan", list, "--out", root()}).exitCode, 0);
  ASSERT_EQ(batchTool({"run-one", "--out", root(), "--index", "1"}).exitCode, 0);
  const fs::path bin = dir() / "bin";
  m_temp.WriteFile("bin/sbatch",
                   "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/args\"\n"
                   "echo 4242\n");
  m_temp.WriteFile("bin/squeue", "#!/bin/sh\n");
  for (const char* name : {"sbatch", "squeue"}) fs::permissions(bin / name, fs::perms::owner_all);

  auto slurm = batchTool({"slurm", list, "--out", root(), "--jobs", "3"},
                         {{"PATH", tools::PathText(bin) + ":/usr/bin:/bin"}});
  EXPECT_EQ(slurm.exitCode, 1) << slurm.err;
  EXPECT_TRUE(contains(slurm.err, "submitted job 4242 (1 tasks)")) << slurm.err;
  EXPECT_TRUE(contains(slurm.out, "2 designs: 1 done, 0 failed, 1 missing")) << slurm.out;
  const std::string args = contents(bin / "args");
  EXPECT_TRUE(contains(args, "--array=2%3 ")) << args;
  EXPECT_TRUE(contains(args, (fs::path(root()) / "slurm/batch.sh").string())) << args;
}

TEST_F(BatchToolTest, WrongArgumentsAreRefusedWithStatus2) {
  const std::string list = writeList("a/Site.dgn\n");
  ASSERT_EQ(batchTool({"plan", list, "--out", root()}).exitCode, 0);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "no command given"},
      {{"export", "--out", root()}, "unknown command \"export\""},
      {{"plan", "--out", root()}, "a LIST is needed"},
      {{"run", list}, "--out ROOT is needed"},
      {{"run", list, "--out", root(), "--jobs", "0"}, "--jobs needs a whole number from 1"},
      {{"run-one", "--out", root()}, "needs --index N or SLURM_ARRAY_TASK_ID"},
      {{"run-one", "--out", root(), "--index", "2"}, "no design 2 in the manifest (it has 1)"},
      {{"summary", "--out", tools::PathText(dir() / "nothing")}, "can't be read (run plan first)"},
      {{"plan", tools::PathText(dir() / "nolist"), "--out", root()}, "nolist: can't be read"},
  };
  for (const auto& test : cases) {
    auto result = batchTool(test.args, {{"SLURM_ARRAY_TASK_ID", ""}});
    EXPECT_EQ(result.exitCode, 2) << test.message;
    EXPECT_TRUE(contains(result.err, test.message)) << result.err;
  }
}

}  // namespace
