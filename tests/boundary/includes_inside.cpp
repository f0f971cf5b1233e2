// Built only by the test Build.ApplicationCannotIncludeStandInInsides, which expects this
// source to fail: it is compiled as part of the records layer and reaches for the stand-in's
// design model, which the application must never see.
#include "host/standin/design/design.h"

int boundaryProbe() { return 0; }
