// Exports one design of a planned batch with tolvane-host, in a process of its own, and
// leaves its completion or failure record.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "tools/batch/manifest.h"

namespace batch {

struct RunOneOptions {
  std::filesystem::path root;  // the batch's output root, holding the manifest
  std::string host;            // the tolvane-host executable
  bool force = false;          // export again even when a completion record is there
};

enum RunOneStatus { kRunOneDone = 0, kRunOneFailed = 1, kRunOneUsage = 2 };

// Exports entry: the shell opens the design where it lies (so its relative attachments are
// found) with the design's own drive C, and runs "tolvane export". A design with a completion
// record is skipped (kRunOneDone) unless options.force. Any earlier record is removed before
// the export starts, so a run that is killed leaves none and the design counts as not run.
// Says one line on out: done, skipped, or failed and why.
RunOneStatus RunOne(const RunOneOptions& options, const Entry& entry, std::ostream& out);

}  // namespace batch
