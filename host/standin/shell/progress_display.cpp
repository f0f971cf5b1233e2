#include "standin/shell/progress_display.h"

#include <cstdio>

namespace host {

bool ProgressThrottle::Admit(int64_t nowNs) {
  if (m_shown && nowNs - m_lastNs < m_minIntervalNs) return false;
  m_shown = true;
  m_lastNs = nowNs;
  return true;
}

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

}  // namespace

std::string ProgressLine(const std::string& label, int64_t done, int64_t total,
                         double elapsedSeconds) {
  std::string line = label + ": " + std::to_string(done);
  if (total >= 0) line += " of " + std::to_string(total);
  line += " elements";
  if (elapsedSeconds > 0) {
    char rate[32];
    std::snprintf(rate, sizeof rate, ", %.0f/s", static_cast<double>(done) / elapsedSeconds);
    line += rate;
  }
  return line + ", " + Seconds(elapsedSeconds);
}

std::string SummaryLine(const std::string& label, int64_t elements, int64_t folders, int64_t failed,
                        double elapsedSeconds) {
  std::string line = label + ": " + std::to_string(elements) + " elements and " +
                     std::to_string(folders) + " folders written in " + Seconds(elapsedSeconds);
  if (failed > 0)
    line += "; " + std::to_string(failed) + (failed == 1 ? " element" : " elements") + " failed";
  return line;
}

}  // namespace host
