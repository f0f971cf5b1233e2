#include "tools/batch/slurm.h"

#include <thread>

#include "tools/batch/child_process.h"
#include "tools/batch/completion.h"
#include "tools/batch/summary.h"
#include "tools/batch/text_files.h"
#include "tools/path_text.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

// Quotes text for a POSIX shell: in single quotes, with each single quote closed, escaped
// and opened again.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Runs a Slurm client command; its standard output goes to *out. False, with *error holding
// its complaint, when it can't be started or exits with a failure.
bool runClient(const std::vector<std::string>& argv, const fs::path& scratch, std::string* out,
               std::string* error) {
  ChildCommand command;
  command.argv = argv;
  command.argv[0] = FindProgram(argv[0]);
  if (command.argv[0].empty()) {
    *error = argv[0] + " is not found in PATH";
    return false;
  }
  command.stdoutFile = tools::PathText(scratch / (argv[0] + ".out"));
  command.stderrFile = tools::PathText(scratch / (argv[0] + ".err"));
  std::unique_ptr<ChildProcess> child = StartChild(command, error);
  if (!child) return false;
  const ChildExit exit = child->Wait();
  ReadFile(command.stdoutFile, out);
  if (exit.killed || exit.code != 0) {
    std::string complaint;
    ReadFile(command.stderrFile, &complaint);
    while (!complaint.empty() && complaint.back() == '\n') complaint.pop_back();
    *error = argv[0] + " failed: " + complaint;
    return false;
  }
  return true;
}

int countDone(const fs::path& root, const std::vector<Entry>& entries,
              const std::vector<int>& indices) {
  int done = 0;
  std::error_code ignored;
  for (int index : indices) {
    if (fs::exists(root / entries[static_cast<size_t>(index - 1)].output / kDoneName, ignored))
      ++done;
  }
  return done;
}

}  // namespace

std::string ArrayRanges(const std::vector<int>& indices) {
  std::string ranges;
  for (size_t i = 0; i < indices.size();) {
    size_t last = i;
    while (last + 1 < indices.size() && indices[last + 1] == indices[last] + 1) ++last;
    if (!ranges.empty()) ranges += ",";
    ranges += std::to_string(indices[i]);
    if (last > i) ranges += "-" + std::to_string(indices[last]);
    i = last + 1;
  }
  return ranges;
}

std::string SlurmScript(const SlurmOptions& options) {
  std::string script =
      "#!/bin/sh\n"
      "# One design of a tolvane-batch batch per array task; the task's index picks it.\n"
      "#SBATCH --job-name=tolvane-batch\n"
      "#SBATCH --ntasks=1\n"
      "exec " +
      shellQuoted(options.self) + " run-one --out " + shellQuoted(tools::PathText(options.root)) +
      " --host " + shellQuoted(options.host);
  if (options.force) script += " --force";
  return script + "\n";
}

bool RunOnSlurm(const SlurmOptions& options, const std::vector<Entry>& entries,
                const std::vector<int>& indices, std::ostream& err, bool terminal,
                std::string* error) {
  const fs::path scratch = options.root / "slurm";
  std::error_code failed;
  fs::create_directories(scratch, failed);
  const fs::path script = scratch / "batch.sh";
  if (!WriteFileAtomically(script, SlurmScript(options), error)) return false;

  std::vector<std::string> submit = {"sbatch", "--parsable"};
  submit.push_back("--array=" + ArrayRanges(indices) + "%" + std::to_string(options.throttle));
  submit.push_back("--output=" + tools::PathText(scratch / "%A_%a.log"));
  for (const std::string& option : options.sbatchOptions) submit.push_back(option);
  submit.push_back(tools::PathText(script));
  std::string out;
  if (!runClient(submit, scratch, &out, error)) return false;
  const std::string job = out.substr(0, out.find_first_of(";\n"));
  if (job.empty()) {
    *error = "sbatch gave no job id";
    return false;
  }
  err << "tolvane-batch: submitted job " << job << " (" << indices.size() << " tasks)" << std::endl;

  const int total = static_cast<int>(entries.size());
  ProgressLine progress(err, terminal, total, total - static_cast<int>(indices.size()));
  int troubles = 0;
  while (true) {
    std::this_thread::sleep_for(std::chrono::duration<double>(options.pollSeconds));
    std::string listed, trouble;
    if (runClient({"squeue", "-h", "-j", job, "-o", "%i"}, scratch, &listed, &trouble)) {
      troubles = 0;
      if (listed.find_first_not_of(" \n") == std::string::npos) break;
    } else if (trouble.find("Invalid job id") != std::string::npos) {
      break;  // the controller has forgotten the job: it ended long ago
    } else if (++troubles == 5) {
      progress.Clear();
      *error = trouble + " (the job may still run; see summary)";
      return false;
    }
    progress.Update(countDone(options.root, entries, indices));
  }
  progress.Clear();
  return true;
}

}  // namespace batch
