// The stand-in's status service: a long task's progress shown on one line of a terminal's
// standard error, and what the shell asks of it between commands. The add-in reaches it
// through its own progress interface, whose stand-in adapter calls these.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>

namespace host {

// Starts a task named label (copied; null reads as empty). total is the count of items the
// task will go through, or -1 when the caller can't tell. A task still running is ended
// first, without a summary.
void BeginTask(const char* label, int64_t total);
// Sets the count of items done so far in the running task. Cheap enough to call for every
// item: at most ten redraws a second. Ignored when no task runs.
void UpdateTask(int64_t done);
// Ends the running task with a summary of what it wrote: elements, and folders, and of the
// elements it failed to write whole. Ignored when no task runs.
void EndTask(int64_t elementsWritten, int64_t foldersWritten, int64_t elementsFailed);

// Ends the running task, if any, without a summary: a task may not outlive the command that
// began it. A progress line left standing on the terminal is shown once more with the last
// count reported and finished with a line break, so that what is written next (the error of
// a command that threw, say) starts on a row of its own, and the next task is shown as the
// first one was. Does nothing when no task runs.
void AbandonRunningTask();

}  // namespace host
