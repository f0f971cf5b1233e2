#include "standin/shell/status_service.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "standin/files/system.h"
#include "standin/shell/progress_display.h"

namespace {

// At most ten redraws a second, however often the application reports.
constexpr int64_t kMinIntervalNs = 100'000'000;

// The running task. It is shown only when standard error is a terminal when the task begins;
// otherwise nothing of it is ever written, so that logs and pipes stay as they were.
struct Task {
  std::string label;
  int64_t total = -1;
  int64_t done = 0;  // the last count reported, shown or not
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  host::ProgressThrottle throttle{kMinIntervalNs};
  bool onTerminal = false;
  bool lineShown = false;  // a progress line stands on the terminal's last row
};

std::optional<Task>& RunningTask() {
  static std::optional<Task> task;
  return task;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The task's progress line at its last reported count.
std::string ProgressOf(const Task& task) {
  return host::ProgressLine(task.label, task.done, task.total, SecondsSince(task.start));
}

// Overwrites the terminal's last row: back to its start, the text, the rest of the row cleared.
void ShowOnRow(const std::string& text, bool endRow) {
  std::fputs(("\r" + text + "\x1b[K" + (endRow ? "\n" : "")).c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

namespace host {

void BeginTask(const char* label, int64_t total) {
  std::optional<Task>& task = RunningTask();
  if (task && task->lineShown) ShowOnRow("", false);
  task.emplace();
  task->label = label ? label : "";
  task->total = total;
  task->onTerminal = StandardErrorIsTerminal();
}

void UpdateTask(int64_t done) {
  std::optional<Task>& task = RunningTask();
  if (!task || !task->onTerminal) return;
  task->done = done;
  auto now = std::chrono::steady_clock::now();
  int64_t nowNs =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
  if (!task->throttle.Admit(nowNs)) return;
  ShowOnRow(ProgressOf(*task), false);
  task->lineShown = true;
}

void EndTask(int64_t elementsWritten, int64_t foldersWritten, int64_t elementsFailed) {
  std::optional<Task>& task = RunningTask();
  if (!task) return;
  if (task->onTerminal)
    ShowOnRow(host::SummaryLine(task->label, elementsWritten, foldersWritten, elementsFailed,
                                SecondsSince(task->start)),
              true);
  task.reset();
}

void AbandonRunningTask() {
  std::optional<Task>& task = RunningTask();
  if (!task) return;
  if (task->lineShown) ShowOnRow(ProgressOf(*task), true);
  task.reset();
}

}  // namespace host
