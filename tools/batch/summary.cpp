#include "tools/batch/summary.h"

#include <cstdio>

#include "tools/batch/completion.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMissingShown = 10;

std::string clock(double seconds) {
  const long total = static_cast<long>(seconds + 0.5);
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

}  // namespace

Tally TallyBatch(const fs::path& root, const std::vector<Entry>& entries) {
  Tally tally;
  for (const Entry& entry : entries) {
    std::string reason;
    switch (StateOf(root / entry.output, entry, &reason)) {
      case DesignState::Done:
        ++tally.done;
        break;
      case DesignState::Failed:
        tally.failed.emplace_back(entry, reason);
        break;
      case DesignState::Missing:
        tally.missing.push_back(entry);
        break;
    }
  }
  return tally;
}

void PrintSummary(const Tally& tally, std::ostream& out) {
  out << tally.total() << " designs: " << tally.done << " done, " << tally.failed.size()
      << " failed, " << tally.missing.size() << " missing\n";
  for (const auto& [entry, reason] : tally.failed)
    out << "failed " << entry.index << " " << entry.design << ": " << reason << "\n";
  for (size_t i = 0; i < tally.missing.size() && i < kMissingShown; ++i)
    out << "missing " << tally.missing[i].index << " " << tally.missing[i].design << "\n";
  if (tally.missing.size() > kMissingShown)
    out << "... and " << tally.missing.size() - kMissingShown << " more missing\n";
  out << std::flush;
}

std::vector<int> PendingIndices(const fs::path& root, const std::vector<Entry>& entries) {
  std::vector<int> pending;
  std::string reason;
  for (const Entry& entry : entries) {
    if (StateOf(root / entry.output, entry, &reason) != DesignState::Done)
      pending.push_back(entry.index);
  }
  return pending;
}

ProgressLine::ProgressLine(std::ostream& err, bool terminal, int total, int already)
    : m_err(err),
      m_terminal(terminal),
      m_total(total),
      m_already(already),
      m_start(std::chrono::steady_clock::now()),
      m_lastDrawn(m_start - std::chrono::seconds(1)) {}

std::string ProgressLine::Text(int finished, double seconds) const {
  std::string text =
      std::to_string(m_already + finished) + " / " + std::to_string(m_total) + " designs";
  if (finished > 0 && seconds > 0) {
    const double perMinute = finished * 60.0 / seconds;
    char rate[32];
    std::snprintf(rate, sizeof rate, ", %.1f/min", perMinute);
    text += rate;
    const int left = m_total - m_already - finished;
    if (left > 0) text += ", " + clock(left * 60.0 / perMinute) + " left";
  }
  return text;
}

void ProgressLine::Update(int finished) {
  if (!m_terminal) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_lastDrawn < std::chrono::milliseconds(100)) return;
  m_lastDrawn = now;
  std::string text = Text(finished, std::chrono::duration<double>(now - m_start).count());
  const size_t width = text.size();
  if (width < m_width) text.append(m_width - width, ' ');
  m_width = width;
  m_err << '\r' << text << std::flush;
}

void ProgressLine::Clear() {
  if (!m_terminal || m_width == 0) return;
  m_err << '\r' << std::string(m_width, ' ') << '\r' << std::flush;
  m_width = 0;
  m_lastDrawn = std::chrono::steady_clock::now() - std::chrono::seconds(1);
}

}  // namespace batch
