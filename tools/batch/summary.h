// How far a batch has got, judged by the designs' records alone.
#pragma once

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/batch/manifest.h"

namespace batch {

struct Tally {
  int done = 0;
  std::vector<std::pair<Entry, std::string>> failed;  // with each one's reason
  std::vector<Entry> missing;                         // no record: not run to its end
  int total() const { return done + static_cast<int>(failed.size() + missing.size()); }
  bool allDone() const { return failed.empty() && missing.empty(); }
};

Tally TallyBatch(const std::filesystem::path& root, const std::vector<Entry>& entries);

// Prints the counts, each failed design with its reason, and the first of the missing ones.
void PrintSummary(const Tally& tally, std::ostream& out);

// The indices of the entries that have no completion record, in order.
std::vector<int> PendingIndices(const std::filesystem::path& root,
                                const std::vector<Entry>& entries);

// A progress line on a terminal: designs done of the total, the rate and the time left,
// redrawn in place at most every tenth of a second. Draws nothing when not on a terminal.
class ProgressLine {
 public:
  // total: the designs of the batch; already: those done before this run began (they count
  // as done but not towards the rate).
  ProgressLine(std::ostream& err, bool terminal, int total, int already);
  // finished: designs done so far in this run.
  void Update(int finished);
  // Clears the line, so that another line can be printed in its place.
  void Clear();
  // The line as it would be drawn now.
  std::string Text(int finished, double seconds) const;

 private:
  std::ostream& m_err;
  bool m_terminal;
  int m_total;
  int m_already;
  std::chrono::steady_clock::time_point m_start;
  std::chrono::steady_clock::time_point m_lastDrawn;
  size_t m_width = 0;
};

}  // namespace batch
