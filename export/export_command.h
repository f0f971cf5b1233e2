// The export command: every drawn element of the active model and of the models reachable
// from it becomes a folder of JSON records under C:\Temp\<design file stem>.
#pragma once

#include "host/host_types.h"

// Command handler; the text given with the command is ignored.
void exportCommand(WCharCP unparsed);
