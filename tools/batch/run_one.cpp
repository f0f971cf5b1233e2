#include "tools/batch/run_one.h"

#include <chrono>

#include "tools/batch/child_process.h"
#include "tools/batch/completion.h"
#include "tools/batch/text_files.h"
#include "tools/path_text.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

constexpr char kStdoutName[] = "host.out";
constexpr char kStderrName[] = "host.err";

std::string describe(const Entry& entry) {
  return "design " + std::to_string(entry.index) + " (" + entry.design + ")";
}

// Records a failure; says it on out.
RunOneStatus fail(const fs::path& folder, const Entry& entry, Outcome outcome, std::ostream& out) {
  outcome.done = false;
  std::string error;
  if (!WriteOutcome(folder, entry, outcome, &error))
    out << describe(entry) << ": " << error << "\n";
  out << describe(entry) << " failed: " << outcome.reason << std::endl;
  return kRunOneFailed;
}

std::vector<std::string> fileLines(const fs::path& path) {
  std::string text;
  return ReadFile(path, &text) ? SplitLines(text) : std::vector<std::string>{};
}

}  // namespace

RunOneStatus RunOne(const RunOneOptions& options, const Entry& entry, std::ostream& out) {
  const fs::path folder = options.root / entry.output;
  std::string ignored;
  if (!options.force && StateOf(folder, entry, &ignored) == DesignState::Done) {
    out << describe(entry) << ": already done, skipped (--force exports it again)" << std::endl;
    return kRunOneDone;
  }
  std::error_code failed;
  fs::create_directories(folder / "drive_c", failed);
  if (failed) {
    out << describe(entry) << ": " << tools::PathText(folder / "drive_c")
        << " can't be made: " << failed.message() << std::endl;
    return kRunOneFailed;
  }
  // Gone before anything else happens: from here on, only an export that ends leaves a record.
  fs::remove(folder / kDoneName, failed);
  fs::remove(folder / kFailedName, failed);

  Outcome outcome;
  if (!entry.problem.empty()) {
    outcome.reason = entry.problem;
    return fail(folder, entry, outcome, out);
  }
  if (std::string problem = DesignFileProblem(tools::TextPath(entry.design)); !problem.empty()) {
    outcome.reason = problem;
    return fail(folder, entry, outcome, out);
  }

  ChildCommand command;
  command.argv = {options.host, "--drive-c", tools::PathText(folder / "drive_c"), entry.design,
                  "tolvane export"};
  command.workingDir = tools::PathText(tools::TextPath(entry.design).parent_path());
  command.stdoutFile = tools::PathText(folder / kStdoutName);
  command.stderrFile = tools::PathText(folder / kStderrName);
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  std::unique_ptr<ChildProcess> host = StartChild(command, &error);
  if (!host) {
    outcome.reason = error;
    return fail(folder, entry, outcome, out);
  }
  outcome.exit = host->Wait();
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.messages = fileLines(command.stdoutFile);
  outcome.notes = fileLines(command.stderrFile);
  outcome.reason = JudgeExport(outcome.exit, outcome.messages, outcome.notes);
  if (!outcome.reason.empty()) return fail(folder, entry, outcome, out);

  const fs::path tree = OutputFolderOf(outcome.messages, folder / "drive_c");
  if (tree.empty() || !fs::is_directory(tree)) {
    outcome.reason = "the folder the export named is not in the design's drive C";
    return fail(folder, entry, outcome, out);
  }
  outcome.tree = tools::PathText(tree.lexically_relative(folder));
  if (!TreeDigest(tree, &outcome.digest, &outcome.files, &outcome.elements, &error)) {
    outcome.reason = error;
    return fail(folder, entry, outcome, out);
  }
  outcome.done = true;
  if (!WriteOutcome(folder, entry, outcome, &error)) {
    out << describe(entry) << ": " << error << std::endl;
    return kRunOneFailed;
  }
  fs::remove(command.stdoutFile, failed);
  fs::remove(command.stderrFile, failed);
  out << describe(entry) << " done: " << outcome.elements << " elements, " << outcome.files
      << " files, " << outcome.seconds << " s" << std::endl;
  return kRunOneDone;
}

}  // namespace batch
