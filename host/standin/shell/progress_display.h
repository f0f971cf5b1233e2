// What the stand-in shows of a running task: how often it may show it, and the lines.
#pragma once

#include <cstdint>
#include <string>

#include "../inside.h"

namespace host {

// Lets an update through when none was shown yet or when at least minInterval nanoseconds
// passed since the last one shown, so that a task that updates for every item redraws at
// most 1 / minInterval times a second. Times come from a monotonic clock, in nanoseconds.
class ProgressThrottle {
 public:
  explicit ProgressThrottle(int64_t minIntervalNs) : m_minIntervalNs(minIntervalNs) {}
  // Whether the update at nowNs is shown; one that is shown becomes the last one shown.
  bool Admit(int64_t nowNs);

 private:
  int64_t m_minIntervalNs;
  bool m_shown = false;
  int64_t m_lastNs = 0;
};

// "Export: 1200 of 5000 elements, 800/s, 1.5 s"; without " of N" when total is negative,
// and without the rate before any time has passed.
std::string ProgressLine(const std::string& label, int64_t done, int64_t total,
                         double elapsedSeconds);

// "Export: 1200 elements and 1200 folders written in 1.5 s", followed by "; 3 elements
// failed" when any did.
std::string SummaryLine(const std::string& label, int64_t elements, int64_t folders, int64_t failed,
                        double elapsedSeconds);

}  // namespace host
