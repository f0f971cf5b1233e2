#include "tools/batch/local_run.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tools/batch/child_process.h"
#include "tools/batch/completion.h"
#include "tools/batch/summary.h"
#include "tools/path_text.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

constexpr char kLogName[] = "run-one.log";

// What the workers share: the next design to take, and what became of those that ended.
struct Shared {
  std::mutex lock;
  std::condition_variable ended;
  size_t next = 0;
  int finished = 0;
  std::vector<std::string> failures;  // lines to say, taken by the main thread
};

// Runs one design's run-one and says why it failed, or returns empty when it is done.
std::string runDesign(const LocalRunOptions& options, const Entry& entry) {
  const fs::path folder = options.root / entry.output;
  std::error_code failed;
  fs::create_directories(folder, failed);
  ChildCommand command;
  command.argv = {options.self, "run-one",
                  "--out",      tools::PathText(options.root),
                  "--index",    std::to_string(entry.index),
                  "--host",     options.host};
  if (options.force) command.argv.push_back("--force");
  command.stdoutFile = tools::PathText(folder / kLogName);
  std::string error;
  std::unique_ptr<ChildProcess> child = StartChild(command, &error);
  if (!child) return error;
  const ChildExit exit = child->Wait();
  std::string reason;
  switch (StateOf(folder, entry, &reason)) {
    case DesignState::Done:
      fs::remove(command.stdoutFile, failed);
      return "";
    case DesignState::Failed:
      return reason;
    case DesignState::Missing:
      break;
  }
  if (exit.killed)
    return "run-one was ended by signal " + std::to_string(exit.code) + " (see " +
           command.stdoutFile + ")";
  return "run-one left no record (exit status " + std::to_string(exit.code) + ", see " +
         command.stdoutFile + ")";
}

}  // namespace

int RunLocally(const LocalRunOptions& options, const std::vector<Entry>& entries,
               const std::vector<int>& indices, std::ostream& err, bool terminal) {
  Shared shared;
  auto worker = [&] {
    while (true) {
      size_t taken;
      {
        std::lock_guard<std::mutex> guard(shared.lock);
        if (shared.next == indices.size()) return;
        taken = shared.next++;
      }
      const Entry& entry = entries[static_cast<size_t>(indices[taken] - 1)];
      std::string reason = runDesign(options, entry);
      std::lock_guard<std::mutex> guard(shared.lock);
      ++shared.finished;
      if (!reason.empty())
        shared.failures.push_back("design " + std::to_string(entry.index) + " (" + entry.design +
                                  ") failed: " + reason);
      shared.ended.notify_one();
    }
  };
  const int total = static_cast<int>(entries.size());
  ProgressLine progress(err, terminal, total, total - static_cast<int>(indices.size()));
  std::vector<std::thread> workers;
  const size_t count = std::min(indices.size(), static_cast<size_t>(std::max(options.jobs, 1)));
  for (size_t i = 0; i < count; ++i) workers.emplace_back(worker);

  int failures = 0;
  std::unique_lock<std::mutex> guard(shared.lock);
  while (true) {
    shared.ended.wait_for(guard, std::chrono::milliseconds(250));
    int done = shared.finished - failures - static_cast<int>(shared.failures.size());
    if (!shared.failures.empty()) {
      progress.Clear();
      for (const std::string& line : shared.failures) err << line << "\n";
      err << std::flush;
      failures += static_cast<int>(shared.failures.size());
      shared.failures.clear();
    }
    progress.Update(done);
    if (shared.finished == static_cast<int>(indices.size())) break;
  }
  guard.unlock();
  for (std::thread& thread : workers) thread.join();
  progress.Clear();
  return failures;
}

}  // namespace batch
