// Runs the pending designs of a planned batch as one Slurm job array: one task per design,
// each task a run-one. The batch is then judged by the designs' records, never by Slurm's
// states, which can say COMPLETED for a task that never ran.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/batch/manifest.h"

namespace batch {

struct SlurmOptions {
  std::filesystem::path root;  // must be on a file system that every node sees
  std::string self;            // this tool's executable, the same path on every node
  std::string host;            // tolvane-host, the same path on every node
  int throttle = 32;           // tasks running at once (the array's "%")
  bool force = false;
  std::vector<std::string> sbatchOptions;  // handed to sbatch as they are (--partition=...)
  double pollSeconds = 2;                  // between two looks at squeue
};

// Indices as a Slurm array specification: runs of consecutive numbers as ranges
// ({1,2,3,5,7,8} gives "1-3,5,7-8"). indices are ascending.
std::string ArrayRanges(const std::vector<int>& indices);

// The batch script: a POSIX shell script that runs run-one for the task's array index.
std::string SlurmScript(const SlurmOptions& options);

// Writes the script into root/slurm/, submits it for indices with sbatch and waits, looking
// at squeue every options.pollSeconds, until no task of the job is left; shows progress on err
// when terminal. False, with *error, when sbatch or squeue can't be run or sbatch refuses.
bool RunOnSlurm(const SlurmOptions& options, const std::vector<Entry>& entries,
                const std::vector<int>& indices, std::ostream& err, bool terminal,
                std::string* error);

}  // namespace batch
