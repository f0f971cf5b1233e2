// The host's status service: an application reports how far a long task has gone, and the
// host shows it where the user looks for it. Reporting never changes the message window.
#pragma once

#include "host/host_types.h"

extern "C" {
// Starts a task named label (copied; null reads as empty). total is the count of items the
// task will go through, or -1 when the application can't tell. A task still running is ended
// first, without a summary.
void mdlStatus_beginTask(const char* label, int64_t total);
// Sets the count of items done so far in the running task. Cheap enough to call for every
// item: the host decides how often it shows it. Ignored when no task runs.
void mdlStatus_updateTask(int64_t done);
// Ends the running task with a summary of what it wrote: elements, and folders, and of the
// elements it failed to write whole. Ignored when no task runs.
void mdlStatus_endTask(int64_t elementsWritten, int64_t foldersWritten, int64_t elementsFailed);
}
