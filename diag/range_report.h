// The range report: the basis range and the stored range of element 10768 of the active
// model, two lines in the message window.
#pragma once

#include "host/host_types.h"

constexpr ElementId kRangeReportElementId = 10768;

// Command handler; the text given with the command is ignored.
void rangeReportCommand(WCharCP unparsed);
