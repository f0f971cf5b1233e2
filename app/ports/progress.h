// How far a long command has gone, told to whatever the host integration shows it with. The
// host's documented operations have no progress service, so this is the add-in's own
// interface: the entry point connects the host's adapter (the one place where an integrator
// connects the host's own progress bar); with none connected, nothing is shown. Reporting
// never changes the message window.
#pragma once

#include <cstdint>

class Progress {
 public:
  virtual ~Progress() = default;
  // Starts a task named label (null reads as empty). total is the count of items the task
  // will go through, or -1 when it can't be told. A task still running is ended first,
  // without a summary.
  virtual void Begin(const char* label, int64_t total) = 0;
  // The count of items done so far. Called for every item: the adapter decides how often it
  // shows it. Ignored when no task runs.
  virtual void Step(int64_t done) = 0;
  // Ends the running task with a summary of what it wrote: elements, folders, and the
  // elements it failed to write whole. Ignored when no task runs.
  virtual void End(int64_t elementsWritten, int64_t foldersWritten, int64_t elementsFailed) = 0;
};

namespace progress_detail {
inline Progress*& connected() {
  static Progress* progress = nullptr;
  return progress;
}
}  // namespace progress_detail

// Connects the host integration's progress, once, when the host loads the application; the
// object must live as long as the application is loaded. Null disconnects.
inline void ConnectProgress(Progress* progress) { progress_detail::connected() = progress; }

// What the commands call: each forwards to the connected progress, or does nothing.
inline void beginProgress(const char* label, int64_t total) {
  if (Progress* progress = progress_detail::connected()) progress->Begin(label, total);
}
inline void stepProgress(int64_t done) {
  if (Progress* progress = progress_detail::connected()) progress->Step(done);
}
inline void endProgress(int64_t elementsWritten, int64_t foldersWritten, int64_t elementsFailed) {
  if (Progress* progress = progress_detail::connected())
    progress->End(elementsWritten, foldersWritten, elementsFailed);
}
