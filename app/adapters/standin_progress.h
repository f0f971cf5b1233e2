// The stand-in host's progress: the shell's line on a terminal's standard error (see
// standin/shell/status_service.h). Only the loadable module links it.
#pragma once

#include "app/ports/progress.h"

// The one progress of the loaded application.
Progress& StandInProgress();
