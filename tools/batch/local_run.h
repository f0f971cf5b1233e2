// Runs the pending designs of a planned batch on this machine: a number of workers, each
// starting one run-one process per design, so that a design that crashes takes no other
// design down.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/batch/manifest.h"

namespace batch {

struct LocalRunOptions {
  std::filesystem::path root;
  std::string self;  // this tool's executable, started as "run-one" per design
  std::string host;  // the tolvane-host executable, handed to run-one
  int jobs = 1;      // designs exported at once
  bool force = false;
};

// Runs run-one for each of indices, options.jobs at once, until all have ended. Each run-one's
// own lines go to "run-one.log" in the design's folder (removed when the design is done); a
// design that fails is said on err with its reason, as it happens. Shows progress on err when
// terminal. Returns the number of designs that ended without a completion record.
int RunLocally(const LocalRunOptions& options, const std::vector<Entry>& entries,
               const std::vector<int>& indices, std::ostream& err, bool terminal);

}  // namespace batch
