// The stand-in's own side of the status service: what the shell asks of it between commands.
// The application reports through host/status_service.h.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

namespace host {

// Ends the running task, if any, without a summary: a task may not outlive the command that
// began it. A progress line left standing on the terminal is shown once more with the last
// count reported and finished with a line break, so that what is written next (the error of
// a command that threw, say) starts on a row of its own, and the next task is shown as the
// first one was. Does nothing when no task runs.
void AbandonRunningTask();

}  // namespace host
